// The game data stream: an in-memory byte stream whose primitives pass every byte through
// a seeded substitution table. Game files are read with the seeded table, everything else
// (saved games, temporary image files) with the identity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvane {

// The seeded substitution table. A seed of 0 or less gives the identity.
class SubstitutionTable {
  public:
    SubstitutionTable() { set_seed(-1); }
    void set_seed(int32_t seed);
    int32_t seed() const { return seed_; }
    uint8_t encode(uint8_t b) const { return encode_[b]; }
    uint8_t decode(uint8_t b) const { return decode_[b]; }
    bool identity() const { return seed_ <= 0; }

    // The largest seed whose exchanges never overflow a signed 32-bit product.
    static constexpr int32_t max_safe_seed = 214748;

  private:
    int32_t seed_ = -1;
    uint8_t encode_[256];
    uint8_t decode_[256];
};

// A read past the end, an impossible length or any other malformed data.
class StreamError : public std::runtime_error {
  public:
    StreamError(const std::string& what, size_t offset)
        : std::runtime_error(what), offset_(offset) {}
    size_t offset() const { return offset_; }

  private:
    size_t offset_;
};

// An in-memory stream. `base_offset` is where its first byte stood in the file it came
// from, so that diagnostics name file offsets.
class CStream {
  public:
    CStream() = default;
    explicit CStream(std::vector<uint8_t> bytes, size_t base_offset = 0)
        : data_(std::move(bytes)), base_offset_(base_offset) {}
    // A stream over bytes it does not own (a mapped file), which `owner` keeps alive for
    // the stream's life. Writing to it first copies the bytes.
    static CStream view(const uint8_t* bytes, size_t size, size_t base_offset,
                        std::shared_ptr<const void> owner);
    // Tells `release` every few megabytes how far the stream has read, so that the owner of
    // viewed bytes can give back the memory of what lies before.
    void set_release(std::function<void(size_t position)> release);

    void set_table(const SubstitutionTable* table) { table_ = table; }
    const SubstitutionTable* table() const { return table_; }

    size_t size() const { return view_ ? view_size_ : data_.size(); }
    size_t position() const { return pos_; }
    size_t remaining() const { return size() - pos_; }
    size_t file_offset() const { return base_offset_ + pos_; }
    void seek(size_t pos);
    // The stream's bytes, owned or viewed.
    const uint8_t* data() const { return view_ ? view_ : data_.data(); }
    // The bytes of a stream that owns them (one that was written to, or made from bytes).
    const std::vector<uint8_t>& bytes() const { return data_; }
    std::vector<uint8_t> take_bytes();

    // Whether pictures read from this stream keep their stored encoding (for the tools
    // that write a game back); a game that only runs does without.
    void set_keep_encodings(bool keep) { keep_encodings_ = keep; }
    bool keep_encodings() const { return keep_encodings_; }

    // Raw access, bypassing the table.
    void read_raw(void* out, size_t n);
    void write_raw(const void* in, size_t n);
    // Throws unless n more bytes can be read.
    void require(size_t n, const char* what) const;

    // Table-coded access.
    void read_coded(void* out, size_t n);
    void write_coded(const void* in, size_t n);

    // Pictures read from one stream share a budget of pixels: however well each one is
    // backed by its bytes, a stream of a few hundred kilobytes must not unpack into
    // gigabytes. Throws (at file offset `at`) when `pixels` more would exceed it.
    void spend_pixels(int64_t pixels, size_t at);
    // Throws as spend_pixels would, spending nothing (for memory taken before the pictures
    // that pay for it are read).
    void check_pixels(int64_t pixels, size_t at) const;
    int64_t pixels_left() const { return pixels_left_; }
    // What one game file or save may hold in pictures: 2^25 pixels (32 MiB of pixels,
    // some 100 screens of 640 x 480).
    static constexpr int64_t max_stream_pixels = int64_t(1) << 25;

  private:
    void own_bytes();
    void advanced() {
        if (release_ && pos_ >= next_release_) {
            release_(pos_);
            next_release_ = pos_ + release_every;
        }
    }
    static constexpr size_t release_every = size_t(4) << 20;

    std::vector<uint8_t> data_;
    const uint8_t* view_ = nullptr;
    size_t view_size_ = 0;
    std::shared_ptr<const void> owner_;
    std::function<void(size_t)> release_;
    size_t next_release_ = 0;
    bool keep_encodings_ = true;
    size_t pos_ = 0;
    size_t base_offset_ = 0;
    const SubstitutionTable* table_ = nullptr;
    int64_t pixels_left_ = max_stream_pixels;
};

int32_t ReadInt(CStream& s);
double ReadReal(CStream& s);
std::string ReadString(CStream& s);
bool ReadBool(CStream& s);
CStream ReadBlock(CStream& s);
void WriteInt(CStream& s, int32_t v);
void WriteReal(CStream& s, double v);
void WriteString(CStream& s, const std::string& v);
void WriteBool(CStream& s, bool v);
// Not used by the runner itself; the packer writes blocks with it.
void WriteBlock(CStream& s, const std::vector<uint8_t>& bytes);

// Reads a count and checks it against a limit and against what is left, given that
// every counted item takes at least `min_item_bytes` bytes.
int32_t ReadCount(CStream& s, const char* what, int32_t limit, size_t min_item_bytes);

} // namespace kelvane
