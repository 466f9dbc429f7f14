// Writing presented frames as PNG files: the game thread copies each step's last picture
// and hands it to a writer thread that encodes it once, with fast settings, and writes it.
#include "platform/Frame_Files.h"

#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <png.h>

namespace fs = std::filesystem;

namespace kelvane {

namespace {

// Frames waiting for the writer at most: a slow disk holds the game back rather than
// letting the copies grow without bound.
constexpr size_t max_queued = 4;

struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWrite() { png_destroy_write_struct(&png, &info); }
};

bool encode_to(FILE* file, const Image32& picture) {
    PngWrite w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!w.png) return false;
    w.info = png_create_info_struct(w.png);
    if (!w.info) return false;
    std::vector<png_bytep> rows(size_t(picture.height));
    if (setjmp(png_jmpbuf(w.png))) return false;
    png_init_io(w.png, file);
    // Game pictures have large flat areas: the fastest deflate level with the "up" filter
    // keeps them small at a fraction of the default settings' time (on 640 x 480 frames of
    // sprites over a tiled background, "up" is a little faster and smaller than "sub").
    png_set_compression_level(w.png, 1);
    png_set_filter(w.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(w.png, w.info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_write_info(w.png, w.info);
    // Pixels 0x00RRGGBB lie in memory as blue, green, red, unused: read in place.
    png_set_bgr(w.png);
    png_set_filler(w.png, 0, PNG_FILLER_AFTER);
    auto* base = const_cast<uint32_t*>(picture.pixels.data());
    for (int32_t y = 0; y < picture.height; ++y)
        rows[size_t(y)] = reinterpret_cast<png_bytep>(base + size_t(y) * size_t(picture.width));
    png_write_image(w.png, rows.data());
    png_write_end(w.png, nullptr);
    return true;
}

} // namespace

bool write_png_file(const std::string& path, const Image32& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height))
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = encode_to(file, picture);
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

FrameFiles::~FrameFiles() {
    finish();
    if (writer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        writer_.join();
    }
}

void FrameFiles::write(int64_t step, const Image32& picture) {
    if (!enabled()) return;
    if (!started_) {
        started_ = true;
        std::error_code ec;
        fs::create_directories(dir_, ec);
        if (!fs::is_directory(dir_, ec)) {
            report(frame_path(step));
            return;
        }
        writer_ = std::thread([this] { run(); });
    }
    if (have_pending_ && pending_.step != step) hand_over();
    if (!have_pending_) {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            pending_.picture = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    pending_.step = step;
    pending_.picture.width = picture.width;
    pending_.picture.height = picture.height;
    pending_.picture.pixels.assign(picture.pixels.begin(), picture.pixels.end());
    have_pending_ = true;
}

void FrameFiles::write_box(int64_t step, const Image32& picture) {
    if (!enabled()) return;
    if (step != box_step_) box_step_ = step, box_count_ = 0;
    char name[60];
    std::snprintf(name, sizeof name, "frame-%06lld-box-%d.png", static_cast<long long>(step),
                  ++box_count_);
    std::error_code ec;
    fs::create_directories(dir_, ec);
    const std::string path = (fs::path(dir_) / name).string();
    if (!write_png_file(path, picture)) report(path);
}

void FrameFiles::hand_over() {
    if (!have_pending_) return;
    have_pending_ = false;
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return queue_.size() < max_queued || failed_; });
    if (failed_) return;
    queue_.push_back(std::move(pending_));
    pending_ = Frame();
    lock.unlock();
    wake_.notify_one();
}

void FrameFiles::finish() {
    hand_over();
    if (!writer_.joinable()) return;
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return (queue_.empty() && !busy_) || failed_; });
}

bool FrameFiles::failed() {
    finish();
    return failed_;
}

void FrameFiles::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) return; // stopping, and nothing left
        Frame frame = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        const bool ok = !failed_ && write_now(frame);
        lock.lock();
        busy_ = false;
        if (!ok) {
            failed_ = true;
            queue_.clear();
        } else if (spare_.size() < max_queued) {
            spare_.push_back(std::move(frame.picture));
        }
        done_.notify_all();
    }
}

std::string FrameFiles::frame_path(int64_t step) const {
    char name[40];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(step));
    return (fs::path(dir_) / name).string();
}

void FrameFiles::report(const std::string& path) {
    failed_ = true;
    std::fprintf(stderr, "kelvane: cannot write the frame %s; no more frames are written\n",
                 path.c_str());
}

bool FrameFiles::write_now(const Frame& frame) {
    const std::string path = frame_path(frame.step);
    if (write_png_file(path, frame.picture)) return true;
    report(path);
    return false;
}

} // namespace kelvane
