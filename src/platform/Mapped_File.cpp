// Read-only file mappings with POSIX calls.
#include "platform/Mapped_File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane {

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
        }
    }
    ::close(fd);
    if (!refused.empty()) return fail(refused);
    return file;
}

MappedFile::~MappedFile() {
    if (mapping_) ::munmap(mapping_, size_);
}

void MappedFile::release_before(size_t offset) const {
    if (!mapping_) return;
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t end = std::min(offset, size_) / page * page;
    if (end <= released_) return;
    ::madvise(static_cast<uint8_t*>(mapping_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

} // namespace kelvane
