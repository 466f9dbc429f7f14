// Presented frames written as PNG files (`--frames DIR`), named by the step that
// presented them; both back ends use it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kelvane {

class FrameFiles {
  public:
    explicit FrameFiles(std::string dir) : dir_(std::move(dir)) {}
    bool enabled() const { return !dir_.empty() && !failed_; }
    // Writes DIR/frame-NNNNNN.png (the step, 6 digits at least). The first failure is
    // reported on stderr and ends the writing.
    void write(int64_t step, const Image32& picture);
    bool failed() const { return failed_; }

  private:
    std::string dir_;
    bool failed_ = false;
};

} // namespace kelvane
