// A file mapped into memory for reading, whose pages the reader gives back as it moves
// on: a large game file is read without ever holding all of it. A file cut short by someone
// else while it is mapped does not end the program: the pages past its new end read as
// zeros, and the mapping says that the file changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kelvane {

class MappedFile {
  public:
    // The regular file `path`, mapped; null with the reason in `why` (as read_whole_file
    // gives it) when it cannot be opened or mapped, or is larger than `limit` bytes.
    static std::shared_ptr<MappedFile> open(const std::string& path, std::string* why,
                                            uint64_t limit);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    // Gives back the memory of the whole pages before `offset`; reading them again reads
    // the file again.
    void release_before(size_t offset) const;
    // True when the file was cut short (a page past its end was touched) or written to
    // since it was mapped: what was read from the mapping cannot be trusted.
    bool changed() const;

  private:
    MappedFile() = default;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;
    mutable size_t released_ = 0;
    int fd_ = -1;           // kept open to see whether the file changed
    int watch_ = -1;        // the mapping's slot in the bus-error handler's table
    int64_t stamp_[3] = {}; // size, modification and change times (ns) when mapped
};

} // namespace kelvane
