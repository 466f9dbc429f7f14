// The game data stream: substitution tables and the value primitives.
#include "stream/Support_Stream.h"

#include <cstring>

namespace kelvane {

void SubstitutionTable::set_seed(int32_t seed) {
    seed_ = seed;
    for (int i = 0; i < 256; ++i) encode_[i] = decode_[i] = static_cast<uint8_t>(i);
    if (seed <= 0) return;
    for (int32_t i = 1; i <= 10000; ++i) {
        // The product wraps in 32 bits; seeds above max_safe_seed are refused by the loader,
        // and the unsigned detour keeps the wrap well defined for any caller.
        int32_t p = static_cast<int32_t>(static_cast<uint32_t>(i) * static_cast<uint32_t>(seed));
        int32_t r = p % 254;
        int32_t j = r + 1;
        if (j < 0) continue; // only reachable for refused seeds
        std::swap(encode_[j], encode_[j + 1]);
    }
    for (int i = 1; i < 256; ++i) decode_[encode_[i]] = static_cast<uint8_t>(i);
}

CStream CStream::view(const uint8_t* bytes, size_t size, size_t base_offset,
                      std::shared_ptr<const void> owner) {
    CStream s;
    s.view_ = bytes;
    s.view_size_ = size;
    s.base_offset_ = base_offset;
    s.owner_ = std::move(owner);
    return s;
}

void CStream::set_release(std::function<void(size_t)> release) {
    release_ = std::move(release);
    next_release_ = pos_ + release_every;
}

void CStream::own_bytes() {
    if (!view_) return;
    data_.assign(view_, view_ + view_size_);
    view_ = nullptr;
    view_size_ = 0;
    owner_.reset();
    release_ = nullptr;
}

std::vector<uint8_t> CStream::take_bytes() {
    own_bytes();
    return std::move(data_);
}

void CStream::seek(size_t pos) {
    if (pos > size()) throw StreamError("seek past the end", base_offset_ + pos);
    pos_ = pos;
    advanced();
}

void CStream::require(size_t n, const char* what) const {
    if (n > remaining())
        throw StreamError(std::string("unexpected end of data reading ") + what, file_offset());
}

void CStream::read_raw(void* out, size_t n) {
    require(n, "bytes");
    if (n) std::memcpy(out, data() + pos_, n);
    pos_ += n;
    advanced();
}

void CStream::write_raw(const void* in, size_t n) {
    const auto* p = static_cast<const uint8_t*>(in);
    own_bytes();
    if (pos_ + n > data_.size()) data_.resize(pos_ + n);
    if (n) std::memcpy(data_.data() + pos_, p, n);
    pos_ += n;
}

void CStream::read_coded(void* out, size_t n) {
    read_raw(out, n);
    if (table_ && !table_->identity()) {
        auto* p = static_cast<uint8_t*>(out);
        for (size_t i = 0; i < n; ++i) p[i] = table_->decode(p[i]);
    }
}

void CStream::write_coded(const void* in, size_t n) {
    if (!table_ || table_->identity()) return write_raw(in, n);
    const auto* p = static_cast<const uint8_t*>(in);
    std::vector<uint8_t> tmp(p, p + n);
    for (auto& b : tmp) b = table_->encode(b);
    write_raw(tmp.data(), n);
}

int32_t ReadInt(CStream& s) {
    uint8_t b[4];
    s.require(4, "an int");
    s.read_coded(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                uint32_t(b[3]) << 24);
}

double ReadReal(CStream& s) {
    uint8_t b[8];
    s.require(8, "a real");
    s.read_coded(b, 8);
    double d;
    std::memcpy(&d, b, 8); // little-endian host
    return d;
}

std::string ReadString(CStream& s) {
    size_t at = s.file_offset();
    int32_t n = ReadInt(s);
    if (n <= 0) return {};
    if (static_cast<size_t>(n) > s.remaining())
        throw StreamError("string length " + std::to_string(n) + " runs past the end", at);
    std::string out(static_cast<size_t>(n), '\0');
    s.read_coded(out.data(), out.size());
    return out;
}

bool ReadBool(CStream& s) {
    return ReadInt(s) > 0;
}

CStream ReadBlock(CStream& s) {
    size_t at = s.file_offset();
    int32_t n = ReadInt(s);
    if (n < 0) throw StreamError("negative block length " + std::to_string(n), at);
    if (static_cast<size_t>(n) > s.remaining())
        throw StreamError("block length " + std::to_string(n) + " runs past the end", at);
    size_t start = s.file_offset();
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    s.read_coded(bytes.data(), bytes.size());
    return CStream(std::move(bytes), start);
}

void WriteInt(CStream& s, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    s.write_coded(b, 4);
}

void WriteReal(CStream& s, double v) {
    uint8_t b[8];
    std::memcpy(b, &v, 8);
    s.write_coded(b, 8);
}

void WriteString(CStream& s, const std::string& v) {
    WriteInt(s, static_cast<int32_t>(v.size()));
    s.write_coded(v.data(), v.size());
}

void WriteBool(CStream& s, bool v) {
    WriteInt(s, v ? 1 : 0);
}

void WriteBlock(CStream& s, const std::vector<uint8_t>& bytes) {
    WriteInt(s, static_cast<int32_t>(bytes.size()));
    s.write_coded(bytes.data(), bytes.size());
}

void CStream::check_pixels(int64_t pixels, size_t at) const {
    if (pixels < 0 || pixels > pixels_left_)
        throw StreamError(
            "pictures of more than " + std::to_string(max_stream_pixels) + " pixels in all", at);
}

void CStream::spend_pixels(int64_t pixels, size_t at) {
    check_pixels(pixels, at);
    pixels_left_ -= pixels;
}

int32_t ReadCount(CStream& s, const char* what, int32_t limit, size_t min_item_bytes) {
    size_t at = s.file_offset();
    int32_t n = ReadInt(s);
    if (n < 0 || n > limit)
        throw StreamError(std::string("impossible ") + what + " " + std::to_string(n), at);
    if (min_item_bytes && static_cast<size_t>(n) > s.remaining() / min_item_bytes)
        throw StreamError(std::string(what) + " " + std::to_string(n) + " runs past the end", at);
    return n;
}

} // namespace kelvane
