// The file family's engine: the game's one text file, file management, file searches, the
// registry values, starting programs and the game's parameters, with secure mode. The
// built-in functions of the family unpack their arguments and call these operations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <span>

#include "functions/Function_Main.h"
#include "platform/Files.h"
#include "platform/Registry_Store.h"

namespace kelvane {

class GameFiles {
  public:
    // `report` receives the texts of non-fatal errors. `file_names` maps game file names.
    GameFiles(const FileNames& file_names, RegistryStore& registry,
              std::function<void(const std::string&)> report);
    ~GameFiles();
    GameFiles(const GameFiles&) = delete;
    GameFiles& operator=(const GameFiles&) = delete;

    bool secure_mode = false;
    int32_t game_id = 0;
    std::string game_path;               // parameter 0
    std::vector<std::string> parameters; // parameters 1 ... n
    // Called about every 50 ms while waiting for a program, to keep the window alive.
    std::function<void()> keep_alive;

    // The text file.
    void open_read(const std::string& name);
    void open_write(const std::string& name);
    void open_append(const std::string& name);
    void close();
    std::string read_string();
    double read_real();
    void readln();
    bool eof();
    void write_string(const std::string& s);
    void write_real(double x);
    void writeln();

    // File management.
    bool file_exists(const std::string& name) const;
    void file_delete(const std::string& name);
    void file_rename(const std::string& from, const std::string& to);
    void file_copy(const std::string& from, const std::string& to);
    bool directory_exists(const std::string& name) const;
    void directory_create(const std::string& name);
    std::string find_first(const std::string& mask, int32_t attributes);
    std::string find_next() { return search_.next(); }
    void find_close() { search_.close(); }
    int32_t file_attributes(const std::string& name, int32_t attributes) const;

    // Registry values under the game's key, or under a key of the game's choosing.
    std::string game_key() const;
    void registry_write_string(const std::string& name, const std::string& value);
    void registry_write_real(const std::string& name, double value);
    std::string registry_read_string(const std::string& key, const std::string& name);
    double registry_read_real(const std::string& key, const std::string& name);
    bool registry_exists(const std::string& key, const std::string& name);

    // Programs and parameters.
    void execute_program(const std::string& program, const std::string& arguments, bool wait);
    void execute_shell(const std::string& file, const std::string& arguments);
    int32_t parameter_count() const { return int32_t(parameters.size()); }
    std::string parameter_string(int32_t n) const;

    // The text file's real format: exponent notation right-aligned in 23 characters.
    static std::string format_real(double x);

    // In secure mode, reports `message` and answers true when one of the names has a path
    // or leads outside the game's folder by any other way (a drive letter, a link).
    bool refused(const std::string& message, std::initializer_list<const std::string*> names);

  private:
    enum class Mode { closed, reading, writing };
    const FileNames& names_;
    RegistryStore& registry_;
    std::function<void(const std::string&)> report_;
    Mode mode_ = Mode::closed;
    std::FILE* file_ = nullptr;
    std::string open_name_;
    FileSearch search_;

    std::string host(const std::string& name) const;
    std::string host_for_writing(const std::string& name) const;
    void open_for_writing(const std::string& name, const char* mode, const char* secure_text,
                          const char* failure_text);
    bool reading(const char* not_reading_text);
    bool writing();
    int peek();
    void write_bytes(const std::string& s);
};

// The 33 built-in functions of the file family; they act on Runtime::files and do
// nothing while there is none.
std::span<const RFunction> file_functions();

} // namespace kelvane
