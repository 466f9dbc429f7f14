// The program's temporary directory and its temporary file names. The directory is made
// at start-up and removed with everything in it at exit, also after a fatal error or a
// termination signal.
#pragma once

#include <random>
#include <string>

namespace kelvane {

class TempDirectory {
  public:
    TempDirectory() = default;
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    ~TempDirectory() { remove(); }

    // Makes a fresh directory "g" + a random number below 100000 under $TMPDIR (else /tmp),
    // holding a file that names this process, after removing the directories of runs
    // whose process is gone. Returns false (and keeps no directory) when it could not be made.
    bool create();
    bool exists() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // A name for a new file in the directory: "a" + a random number below 100000 + the
    // extension, not yet taken. The file itself is not created.
    std::string new_file_name(const std::string& extension);
    // Deletes every file in the directory and the directory itself.
    void remove();

    static constexpr const char* failure_message =
        "Failed to create temp dir. This can create serious problems with sounds, etc.";

  private:
    std::string path_;
    std::mt19937 random_{std::random_device{}()};
    int draw() { return std::uniform_int_distribution<int>(0, 99999)(random_); }
};

// Removes every temporary directory this process still holds: for an end that runs no
// destructors (an uncaught exception).
void remove_live_temp_directories();

// Removes the run directories under `base` whose process no longer runs (a run killed
// before it could remove its own). Directories that do not name their process stay.
void remove_stale_run_directories(const std::string& base);

} // namespace kelvane
