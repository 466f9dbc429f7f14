// A private folder for one fuzzing process: the working directory, $TMPDIR and
// $XDG_DATA_HOME all point into it, so nothing a fuzzed input does reaches the user's
// files, and the registry store there turns secure mode on (no programs are started).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace kelvane::fuzz {

inline std::filesystem::path private_folder() {
    namespace fs = std::filesystem;
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("kelvane-fuzz-" + std::to_string(::getpid()));
        fs::remove_all(d);
        fs::create_directories(d / "tmp");
        fs::create_directories(d / "data/kelvane");
        fs::create_directories(d / "work");
        std::ofstream(d / "data/kelvane/registry.txt")
            << "[\\Software\\Kelvane 4\\Preferences]\n\"Warning\" = dword:1\n";
        ::setenv("TMPDIR", (d / "tmp").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (d / "data").c_str(), 1);
        fs::current_path(d / "work");
        // Removed at exit; a killed run leaves it to the next start-up's clean-up of /tmp.
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(dir, ec);
        });
        return d;
    }();
    return dir;
}

// Writes bytes to a file of the private folder and answers its path.
inline std::string write_private_file(const std::string& name, const uint8_t* data, size_t size) {
    std::filesystem::path p = private_folder() / name;
    std::ofstream(p, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return p.string();
}

} // namespace kelvane::fuzz
