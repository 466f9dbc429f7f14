// Presented frames written as PNG files (`--frames DIR`), named by the step that
// presented them; both back ends use it. A thread of its own encodes and writes them, in
// order, so that the game does not wait for the disk.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"

namespace kelvane {

// The picture as a PNG file: 24-bit colour, the "up" filter, fast deflate (level 1).
// False when the file cannot be written.
bool write_png_file(const std::string& path, const Image32& picture);

class FrameFiles {
  public:
    explicit FrameFiles(std::string dir) : dir_(std::move(dir)) {}
    // Writes every frame still pending before it returns.
    ~FrameFiles();
    FrameFiles(const FrameFiles&) = delete;
    FrameFiles& operator=(const FrameFiles&) = delete;

    bool enabled() const { return !dir_.empty() && !failed_; }
    // Keeps a copy of the picture as DIR/frame-NNNNNN.png (the step, 6 digits at least).
    // Several pictures of one step leave the last one. The first failure is reported on
    // stderr and ends the writing.
    void write(int64_t step, const Image32& picture);
    // Writes a picture of one of our own windows at once as DIR/frame-NNNNNN-box-K.png,
    // K counting such pictures in the step from 1.
    void write_box(int64_t step, const Image32& picture);
    // Returns once every frame handed over so far is on disk (or writing failed).
    void finish();
    // Whether writing failed; the frames handed over are finished first.
    bool failed();

  private:
    struct Frame {
        int64_t step = 0;
        Image32 picture;
    };

    std::string dir_;
    std::atomic<bool> failed_{false};
    bool have_pending_ = false;
    Frame pending_; // the current step's picture, handed over when the step changes
    bool started_ = false;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Frame> queue_;    // guarded by mutex_
    std::vector<Image32> spare_; // written pictures whose memory is reused; guarded
    bool busy_ = false;          // the writer holds a frame; guarded
    bool stop_ = false;          // guarded
    std::thread writer_;
    int64_t box_step_ = -1;
    int32_t box_count_ = 0;

    void hand_over();
    void run();
    bool write_now(const Frame& frame);
    std::string frame_path(int64_t step) const;
    void report(const std::string& path);
};

} // namespace kelvane
