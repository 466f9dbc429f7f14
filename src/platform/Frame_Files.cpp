// Writing presented frames as PNG files: the game thread copies each step's last picture
// and hands it to a writer thread that encodes it once, with fast settings, and writes it.
// The encoder is our own: filtered rows compressed in one piece by libdeflate, which at its
// fastest level is quicker than zlib's and gives smaller files of these pictures.
#include "platform/Frame_Files.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

namespace fs = std::filesystem;

namespace kelvane {

namespace {

// Frames waiting for the writer at most: a slow disk holds the game back rather than
// letting the copies grow without bound.
constexpr size_t max_queued = 4;

// Largest IDAT chunk written: a chunk holds at most 2^31 - 1 bytes, so a room-size
// picture's data is split over several.
constexpr size_t max_chunk = size_t(1) << 18;

struct Compressor {
    libdeflate_compressor* c = nullptr;
    Compressor() = default;
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    ~Compressor() { libdeflate_free_compressor(c); }
};

// One compressor and its buffers per thread that writes frames (the writer, and the game's
// thread for its own windows' pictures), kept so that no frame pays for fresh memory.
struct EncodeState {
    Compressor compressor;
    std::vector<uint8_t> filtered, deflated, file;
};

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    out.insert(out.end(), b, b + 4);
}

void put_chunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
    put_u32(out, uint32_t(size));
    const size_t at = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    put_u32(out, uint32_t(libdeflate_crc32(0, out.data() + at, size + 4)));
}

// The rows as PNG scanlines of 8-bit RGB, each with the "up" filter: every byte less the
// byte above it, which leaves the large flat areas of game pictures as runs of zeros that
// compress fast and small.
void filter_rows(const Image32& picture, std::vector<uint8_t>& out) {
    const size_t width = size_t(picture.width), line = 1 + width * 3;
    // One byte of slack: each pixel is stored as four bytes, the fourth overwritten next.
    out.resize(line * size_t(picture.height) + 1);
    const uint32_t* above = nullptr;
    for (size_t y = 0; y < size_t(picture.height); ++y) {
        const uint32_t* row = picture.pixels.data() + y * width;
        uint8_t* dst = out.data() + y * line;
        *dst++ = 2; // up
        for (size_t x = 0; x < width; ++x) {
            // 0x00RRGGBB less the pixel above, byte by byte without carries between them.
            const uint32_t p = row[x], q = above ? above[x] : 0;
            const uint32_t d = ((p | 0x80808080u) - (q & 0x7F7F7F7Fu)) ^ ((p ^ ~q) & 0x80808080u);
            // As bytes R, G, B, then one that the next pixel overwrites.
            const uint32_t rgb = __builtin_bswap32(d) >> 8;
            std::memcpy(dst, &rgb, 4);
            dst += 3;
        }
        above = row;
    }
    out.pop_back();
}

// The picture as the bytes of a PNG file: 24-bit colour, filtered rows, fast deflate.
bool encode(const Image32& picture, EncodeState& st) {
    if (!st.compressor.c) st.compressor.c = libdeflate_alloc_compressor(1);
    if (!st.compressor.c) return false;
    filter_rows(picture, st.filtered);
    st.deflated.resize(libdeflate_zlib_compress_bound(st.compressor.c, st.filtered.size()));
    const size_t packed =
        libdeflate_zlib_compress(st.compressor.c, st.filtered.data(), st.filtered.size(),
                                 st.deflated.data(), st.deflated.size());
    if (packed == 0) return false;
    std::vector<uint8_t>& out = st.file;
    out.clear();
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.insert(out.end(), signature, signature + 8);
    // 8 bits a sample, RGB, deflate, filters chosen per row, no interlacing.
    std::vector<uint8_t> header;
    put_u32(header, uint32_t(picture.width));
    put_u32(header, uint32_t(picture.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    put_chunk(out, "IHDR", header.data(), header.size());
    for (size_t at = 0; at < packed; at += max_chunk)
        put_chunk(out, "IDAT", st.deflated.data() + at, std::min(max_chunk, packed - at));
    put_chunk(out, "IEND", nullptr, 0);
    return true;
}

} // namespace

bool write_png_file(const std::string& path, const Image32& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height))
        return false;
    thread_local EncodeState state;
    // The encoder holds the whole picture filtered and compressed: a picture too large for
    // the memory left fails like a full disk, it does not end the program.
    try {
        if (!encode(picture, state)) return false;
    } catch (const std::bad_alloc&) {
        state.filtered = {}, state.deflated = {}, state.file = {};
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(state.file.data(), 1, state.file.size(), file) == state.file.size();
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
