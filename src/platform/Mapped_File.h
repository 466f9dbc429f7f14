// A file mapped into memory for reading, whose pages the reader gives back as it moves
// on: a large game file is read without ever holding all of it.
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

  private:
    MappedFile() = default;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* mapping_ = nullptr;
    mutable size_t released_ = 0;
};

} // namespace kelvane
