// Read-only file mappings with POSIX calls, and the bus-error handler that keeps a mapped
// file cut short under the reader from ending the program.
#include "platform/Mapped_File.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

namespace {

// Touching a page of a mapping past the end of its file raises SIGBUS. The handler looks
// the address up in the mappings being read (a fixed table, as a signal handler can only
// read what already exists), puts a page of zeros in place of the missing one and marks the
// mapping. Signals at other addresses go on to whatever handled them before.
struct Watched {
    std::atomic<uintptr_t> begin{0}, end{0};
    std::atomic<bool> faulted{false};
};
constexpr int max_watched = 64;
Watched watched[max_watched];
size_t page_size = 4096;
struct sigaction previous {};
std::once_flag installed;

void on_bus_error(int sig, siginfo_t* info, void* context) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (Watched& w : watched) {
        const uintptr_t begin = w.begin.load(), end = w.end.load();
        if (begin == 0 || at < begin || at >= end) continue;
        void* page = reinterpret_cast<void*>(at & ~uintptr_t(page_size - 1));
        if (::mmap(page, page_size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            w.faulted.store(true);
            return;
        }
    }
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(sig, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(sig);
    } else {
        // The faulting access runs again and ends the program as it would without us.
        ::signal(sig, SIG_DFL);
    }
}

void install_handler() {
    page_size = size_t(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previous);
}

int watch(const void* begin, size_t size) {
    std::call_once(installed, install_handler);
    for (int i = 0; i < max_watched; ++i) {
        uintptr_t free = 0;
        if (watched[i].begin.compare_exchange_strong(free, uintptr_t(1))) {
            watched[i].faulted.store(false);
            watched[i].end.store(reinterpret_cast<uintptr_t>(begin) + size);
            watched[i].begin.store(reinterpret_cast<uintptr_t>(begin));
            return i;
        }
    }
    return -1;
}

int64_t nanoseconds(const timespec& t) {
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

} // namespace

std::shared_ptr<MappedFile> MappedFile::open(const std::string& path, std::string* why,
                                             uint64_t limit) {
    auto fail = [&](const std::string& text) -> std::shared_ptr<MappedFile> {
        if (why) *why = text;
        return nullptr;
    };
    // O_NONBLOCK: opening a FIFO nobody writes to must not hang; regular files ignore it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat st {};
    int error = ::fstat(fd, &st) != 0 ? errno : 0;
    std::shared_ptr<MappedFile> file(new MappedFile);
    file->fd_ = fd;
    std::string refused;
    if (error)
        refused = std::strerror(error);
    else if (S_ISDIR(st.st_mode))
        refused = "is a folder";
    else if (!S_ISREG(st.st_mode))
        refused = "is not a regular file";
    else if (uint64_t(st.st_size) > limit)
        refused = "is larger than " + std::to_string(limit) + " bytes";
    else if (st.st_size > 0) {
        file->size_ = size_t(st.st_size);
        void* m = ::mmap(nullptr, file->size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (m == MAP_FAILED) {
            refused = std::strerror(errno);
            file->size_ = 0;
        } else {
            file->mapping_ = m;
            file->data_ = static_cast<const uint8_t*>(m);
            // The loader walks the file from start to end.
            ::madvise(m, file->size_, MADV_SEQUENTIAL);
            file->watch_ = watch(m, file->size_);
            if (file->watch_ < 0) refused = "cannot be watched: too many files mapped at once";
        }
    }
    if (!refused.empty()) return fail(refused);
    file->stamp_[0] = st.st_size;
    file->stamp_[1] = nanoseconds(st.st_mtim);
    file->stamp_[2] = nanoseconds(st.st_ctim);
    return file;
}

MappedFile::~MappedFile() {
    if (watch_ >= 0) {
        watched[watch_].end.store(0);
        watched[watch_].begin.store(0);
    }
    if (mapping_) ::munmap(mapping_, size_);
    if (fd_ >= 0) ::close(fd_);
}

void MappedFile::release_before(size_t offset) const {
    if (!mapping_) return;
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t end = std::min(offset, size_) / page * page;
    if (end <= released_) return;
    ::madvise(static_cast<uint8_t*>(mapping_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

bool MappedFile::changed() const {
    if (watch_ >= 0 && watched[watch_].faulted.load()) return true;
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return true;
    return st.st_size != stamp_[0] || nanoseconds(st.st_mtim) != stamp_[1] ||
           nanoseconds(st.st_ctim) != stamp_[2];
}

} // namespace kelvane
