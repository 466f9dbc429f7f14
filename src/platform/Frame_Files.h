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
    // Writes DIR/frame-NNNNNN-box-K.png, K counting from 1 in each step.
    void write_box(int64_t step, const Image32& picture);
    bool failed() const { return failed_; }

  private:
    std::string dir_;
    bool failed_ = false;
    int64_t box_step_ = -1;
    int32_t box_count_ = 0;
    void write_named(const std::string& name, const Image32& picture);
};

} // namespace kelvane
