// Dynamic libraries that games call: finding a library the game names the Windows way
// (`foo.dll`), loading it, finding a function in it, and calling that function with the C
// calling convention; and the system libraries the runner itself loads only when it first
// needs them. The only code that includes the loader's and libffi's headers.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kelvane {

class FileNames;

// A loaded library; unloaded when the last owner lets go.
class ForeignLibrary {
  public:
    ~ForeignLibrary();
    ForeignLibrary(const ForeignLibrary&) = delete;
    ForeignLibrary& operator=(const ForeignLibrary&) = delete;

    // Loads the library at a host path, or, for a name without a slash, from the system
    // library path. Null with the loader's reason in `error` when it cannot be loaded.
    static std::shared_ptr<ForeignLibrary> open(const std::string& host_name, std::string& error);
    // The address of the function with exactly this name in this library itself (not in
    // a library it needs), or null.
    void* find(const std::string& name) const;
    // Where the library was found (as given to open).
    const std::string& host_name() const { return host_name_; }

  private:
    ForeignLibrary(void* handle, std::string host_name)
        : handle_(handle), host_name_(std::move(host_name)) {}
    void* handle_;
    std::string host_name_;
};

// A system library that a part of the runner loads the first time it needs it (FFmpeg for
// videos, SDL2_mixer for sound), so that runs without that need neither load it at start-up
// nor carry it in memory. Once loaded it stays loaded until the program ends, as a linked
// library would.
class LateLibrary {
  public:
    // Loads the library of this file name from the system library path; false with the
    // loader's reason in `error`.
    bool open(const std::string& soname, std::string& error);
    // Sets `function` to the library's own function `name`; false, with a reason naming
    // `what` and the function in `error`, when it has none.
    template <typename F>
    bool find(F& function, const char* name, const std::string& what, std::string& error) const {
        function = reinterpret_cast<F>(library_ ? library_->find(name) : nullptr);
        if (!function) error = what + "'s function " + name + " is missing";
        return function != nullptr;
    }

  private:
    std::shared_ptr<ForeignLibrary> library_;
};

// The file names a Windows library name stands for, in the order they are tried: for
// `foo.dll` (any case) or `foo` these are `foo.so`, `libfoo.so` and the name itself; any
// other name is tried only as it is. `base` is the name without its folder.
std::vector<std::string> library_file_names(const std::string& base);

// What looking for a game's library found.
struct RLibraryLookup {
    std::shared_ptr<ForeignLibrary> library; // null when none could be loaded
    // When no library loaded but a file beside the game failed to: the first such file,
    // whether it is a Windows library (which can never load here), and the loader's reason.
    std::string found_file;
    bool windows_file = false;
    std::string error;
};

// Finds and loads the library a game names (Windows-1252, with or without a folder): each
// name of library_file_names is looked for beside the game (in the named folder when that
// lies inside the game's folder, then in the game's folder itself), and then on the system
// library path. File names match without regard to letter case; a file counts as beside
// the game only when the path it really leads to (after "..", letter case and symbolic
// links) lies inside the game's folder. An empty `game_folder` leaves only the system path.
RLibraryLookup open_game_library(const FileNames& names, const std::string& game_folder,
                                 const std::string& name);

// One argument of a foreign call: a double, or a zero-terminated text.
struct RForeignArgument {
    bool is_text = false;
    double real = 0;
    const char* text = "";
};

// The value a foreign function returned: a double, or the address of a text (which may be
// null) that the caller copies at once.
struct RForeignResult {
    double real = 0;
    const char* text = nullptr;
};

// Calls the function at `address` with the C calling convention, each argument a double or
// a pointer to text, its result a double or a pointer to text. False when the call cannot
// be prepared (the function is then not called).
bool call_foreign(void* address, std::span<const RForeignArgument> arguments, bool text_result,
                  RForeignResult& result);

// The zero-terminated text at an address a foreign function returned, copied: at most
// `max_length` bytes, and no further than readable memory goes, so that a function whose
// result is no text (a wrong result type) cannot crash the caller. Null gives "".
std::string copy_foreign_text(const char* text, size_t max_length);

} // namespace kelvane
