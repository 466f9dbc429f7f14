// The temporary directory: creation, file names, removal, and removal on SIGINT/SIGTERM.
#include "graphics/Support_File.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <unistd.h>

#include "platform/Process.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

// The directories to remove when a termination signal arrives. This is process-wide by
// nature: a signal ends the whole process, whatever runtime made the directory.
std::mutex live_mutex;
std::set<std::string>& live_directories() {
    static std::set<std::string> dirs;
    return dirs;
}

void remove_all_live() {
    for (const auto& d : live_directories()) {
        std::error_code ec;
        fs::remove_all(d, ec);
    }
}

void remove_on_signal(int sig) {
    // Not async-signal-safe in theory, but the process is about to end and a left-over
    // directory is worse than the small risk.
    remove_all_live();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void track(const std::string& dir, bool add) {
    std::lock_guard<std::mutex> lock(live_mutex);
    static bool installed = false;
    if (add) {
        live_directories().insert(dir);
        if (!installed) {
            std::signal(SIGINT, remove_on_signal);
            std::signal(SIGTERM, remove_on_signal);
            std::signal(SIGHUP, remove_on_signal);
            installed = true;
        }
    } else {
        live_directories().erase(dir);
    }
}

// The file in a run's directory that names the process the directory belongs to.
const char* const owner_file = ".kelvane-run";

bool is_run_directory_name(const std::string& name) {
    return name.size() > 1 && name[0] == 'g' &&
           name.find_first_not_of("0123456789", 1) == std::string::npos;
}

} // namespace

void remove_stale_run_directories(const std::string& base) {
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        if (!is_run_directory_name(it->path().filename().string())) continue;
        std::error_code e;
        if (!fs::is_directory(it->symlink_status(e))) continue;
        std::ifstream in(it->path() / owner_file);
        std::string owner;
        // Only directories that name their process are ours; others are left alone.
        if (!std::getline(in, owner) || owner.empty()) continue;
        long pid = std::strtol(owner.c_str(), nullptr, 10);
        if (process_identity(pid) != owner) fs::remove_all(it->path(), e);
    }
}

void remove_live_temp_directories() {
    std::lock_guard<std::mutex> lock(live_mutex);
    remove_all_live();
}

bool TempDirectory::create() {
    remove();
    std::vector<std::string> bases;
    if (const char* t = std::getenv("TMPDIR"); t && *t) bases.emplace_back(t);
    bases.emplace_back("/tmp");
    for (const auto& base : bases) {
        // Runs that were killed could not remove their directories; whoever starts next does.
        remove_stale_run_directories(base);
        for (int attempt = 0; attempt < 1000; ++attempt) {
            std::string dir = (fs::path(base) / ("g" + std::to_string(draw()))).string();
            std::error_code ec;
            if (fs::exists(dir, ec)) continue;
            if (!fs::create_directory(dir, ec) || ec) break; // unusable base: try the next
            path_ = dir;
            track(path_, true);
            std::ofstream(fs::path(dir) / owner_file) << process_identity(::getpid()) << "\n";
            return true;
        }
    }
    return false;
}

std::string TempDirectory::new_file_name(const std::string& extension) {
    for (;;) {
        std::string name = (fs::path(path_) / ("a" + std::to_string(draw()) + extension)).string();
        std::error_code ec;
        if (!fs::exists(name, ec)) return name;
    }
}

void TempDirectory::remove() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
    track(path_, false);
    path_.clear();
}

} // namespace kelvane
