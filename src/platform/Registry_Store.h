// The registry store: the small persistent key/value store that stands in for the
// Windows registry (per-game values, high scores, the secure-mode preference). One
// human-readable UTF-8 file; every write replaces it atomically, so a crash or a kill
// never leaves it half written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

struct RegistryValue {
    enum Kind { string, real, dword } kind = string;
    std::string text;  // Windows-1252, for string values
    double number = 0; // for real and dword values
};

class RegistryStore {
  public:
    // `file` is the store's path; default_path() is where the program keeps it.
    explicit RegistryStore(std::string file);
    // $XDG_DATA_HOME/kelvane/registry.txt, else ~/.local/share/kelvane/registry.txt.
    static std::string default_path();
    const std::string& file() const { return file_; }

    // Keys are paths like "\Software\Kelvane 4\123"; keys and value names compare without
    // regard to letter case, as the registry does. Text is Windows-1252.
    bool key_exists(const std::string& key);
    // Creates the key when missing. False when the store could not be written.
    bool create_key(const std::string& key);
    std::optional<RegistryValue> read(const std::string& key, const std::string& name);
    // Writes a value, creating its key. False when the store could not be written, or
    // for a key with a control character or a bracket (which no key line could hold).
    // Values the game does not write stay as they were written in the file; a dword is
    // read as a whole number held in 0 ... 4294967295 (see dword_value in the source).
    bool write(const std::string& key, const std::string& name, const RegistryValue& value);

  private:
    struct Line {
        std::string key;  // normalised key this line belongs to
        std::string name; // value name, empty for a key header or a kept line
        std::optional<RegistryValue> value;
        std::string raw; // the line as read: kept as it was until the value is written
        bool header = false;
    };
    std::string file_;
    std::vector<Line> lines_;
    int64_t loaded_stamp_ = -1;

    void load();
    bool save();
    template <typename F> bool modify(F&& change);
};

// Where the secure-mode preference lives: value "Warning" under this key.
inline const std::string preferences_key = "\\Software\\Kelvane 4\\Preferences";
// The secure-mode preference from the store: false when missing.
bool read_secure_mode(RegistryStore& store);

} // namespace kelvane
