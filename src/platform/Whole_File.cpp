// Whole-file reads and writes with POSIX calls, so that every failure has its errno.
#include "platform/Whole_File.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

namespace {

std::string reason(int error) {
    return std::strerror(error);
}

// Closes the descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

std::optional<std::vector<uint8_t>> read_whole_file(const std::string& path, std::string* why,
                                                    uint64_t limit) {
    auto fail = [&](const std::string& text) -> std::optional<std::vector<uint8_t>> {
        if (why) *why = text;
        return std::nullopt;
    };
    // O_NONBLOCK: opening a FIFO nobody writes to must not hang; regular files ignore it.
    Descriptor d{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (d.fd < 0) return fail(reason(errno));
    struct stat st {};
    if (::fstat(d.fd, &st) != 0) return fail(reason(errno));
    if (S_ISDIR(st.st_mode)) return fail("is a folder");
    if (!S_ISREG(st.st_mode)) return fail("is not a regular file");
    if (uint64_t(st.st_size) > limit)
        return fail("is larger than " + std::to_string(limit) + " bytes");
    std::vector<uint8_t> bytes(size_t(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(d.fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(reason(errno));
        if (n == 0) break; // the file shrank while it was read
        got += size_t(n);
    }
    bytes.resize(got);
    return bytes;
}

bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes,
                      std::string* why) {
    auto fail = [&](int error, const std::string& temp) {
        if (why) *why = reason(error);
        if (!temp.empty()) ::unlink(temp.c_str());
        return false;
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (why) *why = "is a folder";
        return false;
    }
    // A unique name beside the target (mkstemp opens it O_EXCL), never a planted link.
    std::string temp = path + ".partXXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(errno, "");
    Descriptor d{fd};
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(errno, temp);
        done += size_t(n);
    }
    // mkstemp makes the file private; a written game file is as readable as any other.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (::fsync(fd) != 0) return fail(errno, temp);
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(errno, temp);
    return true;
}

} // namespace kelvane
