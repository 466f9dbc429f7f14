// Atomic replacement of a file through a temporary file of a unique name, and the clean-up
// of temporary files that killed writers left behind.
#include "platform/Replace_File.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

#include "platform/Process.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

// The process id in a temporary file name of `leaf` ("LEAF.tmp" + pid, optionally followed
// by "-" + a tag), or 0 when the name is not one of ours.
long temporary_owner(const std::string& name, const std::string& leaf) {
    const std::string prefix = leaf + ".tmp";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
    size_t i = prefix.size(), digits = 0;
    long pid = 0;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 10; ++i, ++digits)
        pid = pid * 10 + (name[i] - '0');
    if (digits == 0) return 0;
    if (i == name.size()) return pid; // the naming of earlier versions: no tag
    if (name[i] != '-' || name.size() - i - 1 != 8) return 0;
    for (++i; i < name.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return 0;
    return pid;
}

void remove_stale_temporaries(const fs::path& folder, const std::string& leaf) {
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        long pid = temporary_owner(it->path().filename().string(), leaf);
        if (pid > 0 && !process_alive(pid) && fs::is_regular_file(it->symlink_status(ec)))
            fs::remove(it->path(), ec);
    }
}

bool write_all(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

bool replace_file(const std::string& target, const void* data, size_t size) {
    if (target.empty()) return false;
    fs::path folder = fs::path(target).parent_path();
    std::string leaf = fs::path(target).filename().string();
    if (leaf.empty()) return false;
    remove_stale_temporaries(folder, leaf);
    std::random_device random;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "-%08x", unsigned(random()));
        temp = target + ".tmp" + std::to_string(::getpid()) + tag;
        // Never through a link, never over a file that is there already.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = write_all(fd, data, size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace kelvane
