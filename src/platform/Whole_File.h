// Reading and writing a whole file at once, with the system's reason when it fails: a
// folder, a device or a file larger than the caller can take is refused before any byte
// is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

// The largest file read whole: every size inside game files and projects is a 32-bit count.
constexpr uint64_t whole_file_limit = 0x7fffffff;

// The bytes of the regular file `path`; nullopt with the reason in `why` ("No such file or
// directory", "is a folder", "is not a regular file", "is larger than ... bytes").
std::optional<std::vector<uint8_t>> read_whole_file(const std::string& path, std::string* why,
                                                    uint64_t limit = whole_file_limit);

// Writes the bytes to `path` through a temporary file beside it, renamed over it at the
// end, so that a failure leaves no half file; false with the reason in `why`.
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes, std::string* why);

} // namespace kelvane
