// The image codec of the game file and the Windows bitmap file format.
#include "base/Support_Bitmap24.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace kelvane {

Bitmap24::Bitmap24(int32_t w, int32_t h, uint32_t fill_colour) : width(w), height(h) {
    pixels.resize(size_t(w) * size_t(h) * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = uint8_t(fill_colour >> 16);
        pixels[i + 1] = uint8_t(fill_colour >> 8);
        pixels[i + 2] = uint8_t(fill_colour);
    }
}

uint32_t Bitmap24::pixel(int32_t x, int32_t y) const {
    const uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 3];
    return uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16;
}

void Bitmap24::set_pixel(int32_t x, int32_t y, uint32_t colour) {
    uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 3];
    p[0] = uint8_t(colour >> 16);
    p[1] = uint8_t(colour >> 8);
    p[2] = uint8_t(colour);
}

namespace {

int32_t read_raw_int(CStream& s) {
    uint8_t b[4];
    s.read_raw(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                uint32_t(b[3]) << 24);
}

void write_raw_int(CStream& s, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    s.write_raw(b, 4);
}

// Checks the size, and that the data left can hold the rows: every row takes a run count
// and at least one run per 255 pixels.
void check_size(CStream& s, int32_t w, int32_t h, size_t colour_bytes, size_t at) {
    if (w < 0 || h < 0 || w > max_image_side || h > max_image_side ||
        int64_t(w) * int64_t(h) > max_image_pixels)
        throw StreamError("impossible image size " + std::to_string(w) + " x " + std::to_string(h),
                          at);
    size_t row_min = 4 + size_t((w + 254) / 255) * (1 + colour_bytes);
    if (h > 0 && s.remaining() / size_t(h) < row_min)
        throw StreamError(
            "image of " + std::to_string(w) + " x " + std::to_string(h) + " runs past the end", at);
    s.spend_pixels(int64_t(w) * int64_t(h), at);
}

constexpr int32_t max_runs_per_row = 64001;

// Blue, green, red bytes as a pixel 0x00RRGGBB.
inline uint32_t bgr_pixel(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

// Paints one row of runs into `row` (w pixels): run k paints lengths[k] pixels with colour
// k (three bytes each, or an index into the palette when there is one). Pixels that no run
// reaches are black. Short runs store four pixels at once where the row has room; the
// pixels past the run are painted again by the runs that follow, or blackened at the end.
template <bool Palette>
void paint_runs(uint32_t* row, int32_t w, const uint8_t* lengths, const uint8_t* colours, int32_t n,
                const uint32_t* palette, int32_t palette_size, size_t at) {
    int32_t x = 0;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t len = lengths[k];
        if (len > w - x) throw StreamError("image runs exceed the width", at);
        uint32_t c;
        if constexpr (Palette) {
            if (colours[k] >= palette_size) throw StreamError("palette index out of range", at);
            c = palette[colours[k]];
        } else {
            c = bgr_pixel(colours + size_t(k) * 3);
        }
        uint32_t* out = row + x;
        if (w - x >= 4) {
            out[0] = out[1] = out[2] = out[3] = c;
            for (int32_t i = 4; i < len; ++i) out[i] = c;
        } else {
            for (int32_t i = 0; i < len; ++i) out[i] = c;
        }
        x += len;
    }
    std::fill(row + x, row + w, 0u);
}

// Reads the rows of a run-length image into the target; `palette` is null for true colour.
template <typename Target>
void read_runs(CStream& s, int32_t w, int32_t h, const uint32_t* palette, int32_t palette_size,
               Target& target) {
    const size_t colour_bytes = palette ? 1 : 3;
    for (int32_t y = 0; y < h; ++y) {
        size_t at = s.file_offset();
        int32_t n = read_raw_int(s);
        if (n < 0 || n > max_runs_per_row)
            throw StreamError("impossible run count " + std::to_string(n), at);
        const size_t bytes = size_t(n) * (1 + colour_bytes);
        s.require(bytes, "image runs");
        const uint8_t* lengths = s.data() + s.position();
        uint32_t* row = target.row(y);
        if (palette)
            paint_runs<true>(row, w, lengths, lengths + n, n, palette, palette_size, at);
        else
            paint_runs<false>(row, w, lengths, lengths + n, n, nullptr, 0, at);
        target.row_done(y, row);
        s.seek(s.position() + bytes);
    }
}

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
int mask_shift(uint32_t m) {
    int s = 0;
    if (!m) return 0;
    while (!(m & 1)) m >>= 1, ++s;
    return s;
}
int mask_bits(uint32_t m) {
    int n = 0;
    for (; m; m &= m - 1) ++n;
    return n;
}
uint8_t scale_channel(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    int bits = mask_bits(mask);
    uint32_t x = (v & mask) >> mask_shift(mask);
    uint32_t maxv = bits >= 32 ? 0xffffffffu : (1u << bits) - 1;
    return uint8_t((x * 255 + maxv / 2) / maxv);
}

// Decodes a Windows bitmap file into the target: target.start(w, h) once the headers are
// checked, then target.put(x, y, pixel) for the pixels the file paints (rows from the top;
// pixels 0x00RRGGBB). False, with the reason, for a file it cannot decode.
template <typename Target>
bool decode_bmp(const uint8_t* data, size_t size, std::string* error, size_t* consumed,
                Target& target) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (size < 14 + 12) return fail("file too short");
    if (data[0] != 'B' || data[1] != 'M') return fail("not a Windows bitmap");
    uint32_t pixel_offset = le32(data + 10);
    uint32_t header_size = le32(data + 14);
    if (header_size < 12 || header_size > size - 14) return fail("bad info header");
    int64_t w, h;
    uint32_t bits, compression = 0, image_size = 0, colours_used = 0;
    bool core = header_size == 12;
    if (core) {
        w = le16(data + 18);
        h = int16_t(le16(data + 20));
        bits = le16(data + 24);
    } else {
        if (header_size < 40) return fail("bad info header");
        w = int32_t(le32(data + 18));
        h = int32_t(le32(data + 22));
        bits = le16(data + 28);
        compression = le32(data + 30);
        image_size = le32(data + 34);
        colours_used = le32(data + 46);
    }
    bool top_down = h < 0;
    if (h < 0) h = -h;
    if (w <= 0 || h <= 0 || w > max_image_side || h > max_image_side || w * h > max_image_pixels)
        return fail("impossible image size");
    uint32_t rmask = 0, gmask = 0, bmask = 0;
    size_t table_at = 14 + header_size;
    if (compression == 3) { // bit fields
        if (header_size >= 52) {
            rmask = le32(data + 54), gmask = le32(data + 58), bmask = le32(data + 62);
        } else {
            if (size < table_at + 12) return fail("truncated bit masks");
            rmask = le32(data + table_at), gmask = le32(data + table_at + 4),
            bmask = le32(data + table_at + 8);
            table_at += 12;
        }
    } else if (bits == 16) {
        rmask = 0x7c00, gmask = 0x03e0, bmask = 0x001f;
    } else if (bits == 32) {
        rmask = 0xff0000, gmask = 0xff00, bmask = 0xff;
    }
    if (compression != 0 && compression != 3 && !(compression == 1 && bits == 8) &&
        !(compression == 2 && bits == 4))
        return fail("unsupported bitmap compression");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return fail("unsupported bits per pixel");
    // Colour table.
    std::vector<uint32_t> table;
    if (bits <= 8) {
        size_t n = colours_used ? colours_used : (1u << bits);
        if (n > 256) return fail("bad colour table size");
        size_t entry = core ? 3 : 4;
        if (table_at + n * entry > size) return fail("truncated colour table");
        for (size_t i = 0; i < n; ++i) table.push_back(bgr_pixel(data + table_at + i * entry));
    }
    size_t row_bytes = ((size_t(w) * bits + 31) / 32) * 4;
    size_t pixel_bytes = image_size ? image_size : row_bytes * size_t(h);
    if (compression != 1 && compression != 2 && pixel_bytes < row_bytes * size_t(h))
        pixel_bytes = row_bytes * size_t(h);
    if (pixel_offset < table_at || pixel_offset > size || pixel_bytes > size - pixel_offset)
        return fail("truncated pixel data");
    // Run-length data paints at most 255 pixels per two bytes.
    if ((compression == 1 || compression == 2) && w * h / 128 > int64_t(pixel_bytes) + 1)
        return fail("run-length data too short for the image size");
    const uint8_t* px = data + pixel_offset;
    target.start(int32_t(w), int32_t(h));
    auto put = [&](int64_t x, int64_t row, uint32_t pixel) {
        int64_t y = top_down ? row : h - 1 - row;
        if (x < w && y >= 0 && y < h) target.put(int32_t(x), int32_t(y), pixel);
    };
    auto lookup = [&](uint32_t i) { return i < table.size() ? table[i] : 0u; };
    if (compression == 1 || compression == 2) {
        // Run-length coded 8-bit or 4-bit rows.
        size_t i = 0;
        int64_t x = 0, row = 0;
        while (i + 1 < pixel_bytes && row < h) {
            uint8_t a = px[i], b = px[i + 1];
            i += 2;
            if (a > 0) {
                for (int k = 0; k < a; ++k, ++x)
                    put(x, row, lookup(bits == 8 ? b : (k % 2 ? b & 15 : b >> 4)));
            } else if (b == 0) {
                x = 0, ++row;
            } else if (b == 1) {
                break;
            } else if (b == 2) {
                if (i + 1 >= pixel_bytes) break;
                x += px[i], row += px[i + 1];
                i += 2;
            } else {
                size_t n = bits == 8 ? b : (b + 1) / 2;
                if (i + n > pixel_bytes) break;
                for (int k = 0; k < b; ++k, ++x) {
                    uint8_t v =
                        bits == 8 ? px[i + k] : (k % 2 ? px[i + k / 2] & 15 : px[i + k / 2] >> 4);
                    put(x, row, lookup(v));
                }
                i += (n + 1) & ~size_t(1);
            }
        }
    } else {
        for (int64_t row = 0; row < h; ++row) {
            const uint8_t* r = px + size_t(row) * row_bytes;
            for (int64_t x = 0; x < w; ++x) {
                uint32_t c;
                switch (bits) {
                case 1:
                    c = lookup((r[x / 8] >> (7 - x % 8)) & 1);
                    break;
                case 4:
                    c = lookup(x % 2 ? r[x / 2] & 15 : r[x / 2] >> 4);
                    break;
                case 8:
                    c = lookup(r[x]);
                    break;
                case 24:
                    c = bgr_pixel(r + x * 3);
                    break;
                default: {
                    uint32_t v = bits == 16 ? le16(r + x * 2) : le32(r + x * 4);
                    c = uint32_t(scale_channel(v, bmask)) | uint32_t(scale_channel(v, gmask)) << 8 |
                        uint32_t(scale_channel(v, rmask)) << 16;
                }
                }
                put(x, row, c);
            }
        }
    }
    if (consumed) *consumed = pixel_offset + pixel_bytes;
    return true;
}

// A 24-bit picture as the codec's target.
struct Bitmap24Target {
    Bitmap24 image;
    std::vector<uint32_t> scratch;

    void start(int32_t w, int32_t h) {
        image = Bitmap24(w, h);
        scratch.assign(size_t(std::max(w, 1)), 0);
    }
    uint32_t* row(int32_t) { return scratch.data(); }
    void row_done(int32_t y, const uint32_t* r) {
        uint8_t* out = image.pixels.data() + size_t(y) * size_t(image.width) * 3;
        for (int32_t x = 0; x < image.width; ++x, out += 3)
            out[0] = uint8_t(r[x]), out[1] = uint8_t(r[x] >> 8), out[2] = uint8_t(r[x] >> 16);
    }
    void put(int32_t x, int32_t y, uint32_t pixel) {
        uint8_t* out = &image.pixels[(size_t(y) * size_t(image.width) + size_t(x)) * 3];
        out[0] = uint8_t(pixel), out[1] = uint8_t(pixel >> 8), out[2] = uint8_t(pixel >> 16);
    }
};

// A window of a 32-bit picture as the codec's target: rows that fit are decoded in place,
// the others through a scratch row and cut to the window.
struct WindowTarget {
    explicit WindowTarget(const std::function<PixelWindow(int32_t, int32_t)>& p) : place(p) {}
    const std::function<PixelWindow(int32_t, int32_t)>& place;
    PixelWindow window{};
    DecodedPicture picture{};
    std::vector<uint32_t> scratch;

    void start(int32_t w, int32_t h) {
        picture = {w, h, 0};
        if (w > 0 && h > 0) window = place(w, h);
    }
    uint32_t* row(int32_t y) {
        if (y < window.height && picture.width <= window.width)
            return window.pixels + size_t(y) * window.stride;
        scratch.resize(size_t(std::max(picture.width, 1)));
        return scratch.data();
    }
    void row_done(int32_t y, const uint32_t* r) {
        if (picture.width > 0 && y == picture.height - 1) picture.bottom_left = r[0];
        if (r == scratch.data() && y < window.height)
            std::copy_n(r, std::min(picture.width, window.width),
                        window.pixels + size_t(y) * window.stride);
    }
    void put(int32_t x, int32_t y, uint32_t pixel) {
        if (x == 0 && y == picture.height - 1) picture.bottom_left = pixel;
        if (x < window.width && y < window.height)
            window.pixels[size_t(y) * window.stride + size_t(x)] = pixel;
    }
};

// Reads one image of the game file's encoding into the target; false for no image (scheme
// -1, or an unknown scheme, which sets `unknown_scheme`).
template <typename Target> bool read_image(CStream& s, Target& target, bool* unknown_scheme) {
    if (unknown_scheme) *unknown_scheme = false;
    size_t at = s.file_offset();
    int32_t scheme = read_raw_int(s);
    switch (scheme) {
    case -1:
        return false;
    case 0: {
        // The pixels are spent before the target makes room for them.
        struct Spending {
            CStream& s;
            Target& target;
            size_t at;
            void start(int32_t w, int32_t h) {
                s.spend_pixels(int64_t(w) * int64_t(h), at);
                target.start(w, h);
            }
            void put(int32_t x, int32_t y, uint32_t pixel) { target.put(x, y, pixel); }
        } spending{s, target, at};
        std::string error;
        size_t consumed = 0;
        if (!decode_bmp(s.data() + s.position(), s.remaining(), &error, &consumed, spending))
            throw StreamError("bad bitmap image: " + error, s.file_offset());
        s.seek(s.position() + consumed);
        return true;
    }
    case 1: {
        int32_t w = read_raw_int(s), h = read_raw_int(s);
        check_size(s, w, h, 3, at);
        target.start(w, h);
        read_runs(s, w, h, nullptr, 0, target);
        return true;
    }
    case 2: {
        int32_t p = read_raw_int(s);
        if (p < 0 || p > 256) throw StreamError("impossible palette size " + std::to_string(p), at);
        uint8_t colours[256 * 3];
        s.read_raw(colours, size_t(p) * 3);
        uint32_t palette[256];
        for (int32_t i = 0; i < p; ++i) palette[i] = bgr_pixel(colours + size_t(i) * 3);
        int32_t w = read_raw_int(s), h = read_raw_int(s);
        check_size(s, w, h, 1, at);
        target.start(w, h);
        read_runs(s, w, h, palette, p, target);
        return true;
    }
    default:
        if (unknown_scheme) *unknown_scheme = true;
        return false;
    }
}

} // namespace

std::optional<Bitmap24> ReadImage(CStream& s, bool* unknown_scheme) {
    size_t start = s.position();
    Bitmap24Target target;
    if (!read_image(s, target, unknown_scheme)) return std::nullopt;
    if (s.keep_encodings())
        target.image.stored =
            std::make_shared<const std::vector<uint8_t>>(s.data() + start, s.data() + s.position());
    return std::move(target.image);
}

std::optional<DecodedPicture>
ReadImageInto(CStream& s, const std::function<PixelWindow(int32_t w, int32_t h)>& place,
              bool* unknown_scheme) {
    WindowTarget target(place);
    if (!read_image(s, target, unknown_scheme)) return std::nullopt;
    return target.picture;
}

bool StoredEncodingMatches(const Bitmap24& image) {
    if (!image.stored) return false;
    try {
        CStream in(*image.stored);
        Bitmap24Target decoded;
        return read_image(in, decoded, nullptr) && in.remaining() == 0 && decoded.image == image;
    } catch (const StreamError&) {
        return false;
    }
}

void WriteImage(CStream& s, const std::optional<Bitmap24>& image) {
    if (!image) {
        write_raw_int(s, -1);
        return;
    }
    if (StoredEncodingMatches(*image)) {
        s.write_raw(image->stored->data(), image->stored->size());
        return;
    }
    auto bytes = EncodeImage(*image);
    s.write_raw(bytes.data(), bytes.size());
}

std::vector<uint8_t> EncodeImage(const Bitmap24& img) {
    CStream s;
    std::unordered_map<uint32_t, uint8_t> index;
    std::vector<uint32_t> palette;
    bool fits = true;
    for (int32_t y = 0; y < img.height && fits; ++y)
        for (int32_t x = 0; x < img.width; ++x) {
            uint32_t c = img.pixel(x, y);
            if (index.count(c)) continue;
            if (palette.size() == 256) {
                fits = false;
                break;
            }
            index[c] = uint8_t(palette.size());
            palette.push_back(c);
        }
    auto bgr = [](uint32_t c, uint8_t* out) {
        out[0] = uint8_t(c >> 16);
        out[1] = uint8_t(c >> 8);
        out[2] = uint8_t(c);
    };
    if (fits) {
        write_raw_int(s, 2);
        write_raw_int(s, int32_t(palette.size()));
        for (uint32_t c : palette) {
            uint8_t b[3];
            bgr(c, b);
            s.write_raw(b, 3);
        }
    } else {
        write_raw_int(s, 1);
    }
    write_raw_int(s, img.width);
    write_raw_int(s, img.height);
    std::vector<uint8_t> lengths, colours;
    for (int32_t y = 0; y < img.height; ++y) {
        lengths.clear();
        colours.clear();
        int32_t x = 0;
        while (x < img.width) {
            uint32_t c = img.pixel(x, y);
            int32_t len = 1;
            while (x + len < img.width && len < 255 && img.pixel(x + len, y) == c) ++len;
            lengths.push_back(uint8_t(len));
            if (fits) {
                colours.push_back(index[c]);
            } else {
                uint8_t b[3];
                bgr(c, b);
                colours.insert(colours.end(), b, b + 3);
            }
            x += len;
        }
        write_raw_int(s, int32_t(lengths.size()));
        s.write_raw(lengths.data(), lengths.size());
        s.write_raw(colours.data(), colours.size());
    }
    return s.take_bytes();
}

namespace {
void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
} // namespace

std::optional<Bitmap24> DecodeBmp(const uint8_t* data, size_t size, std::string* error,
                                  size_t* consumed) {
    Bitmap24Target target;
    if (!decode_bmp(data, size, error, consumed, target)) return std::nullopt;
    return std::move(target.image);
}

std::vector<uint8_t> EncodeBmp(const Bitmap24& image) {
    size_t row_bytes = ((size_t(image.width) * 24 + 31) / 32) * 4;
    size_t pixel_bytes = row_bytes * size_t(image.height);
    std::vector<uint8_t> out;
    out.reserve(54 + pixel_bytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, uint32_t(54 + pixel_bytes));
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, uint32_t(image.width));
    put32(out, uint32_t(image.height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, uint32_t(pixel_bytes));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int32_t y = image.height - 1; y >= 0; --y) {
        const uint8_t* r = image.pixels.data() + size_t(y) * size_t(image.width) * 3;
        out.insert(out.end(), r, r + size_t(image.width) * 3);
        out.insert(out.end(), row_bytes - size_t(image.width) * 3, 0);
    }
    return out;
}

uint32_t Bitmap24_TransparentColor(const Bitmap24& image) {
    if (image.empty()) return 0;
    return image.pixel(0, image.height - 1);
}

void Bitmap24_BoundingBox(const Bitmap24& image, int32_t& left, int32_t& top, int32_t& right,
                          int32_t& bottom) {
    if (image.empty()) return;
    uint32_t t = Bitmap24_TransparentColor(image);
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x)
            if (image.pixel(x, y) != t) {
                if (x < left) left = x;
                if (x > right) right = x;
                if (y < top) top = y;
                if (y > bottom) bottom = y;
            }
}

void take_picture_size(int32_t& width, int32_t& height, int32_t picture_width,
                       int32_t picture_height, const char* kind,
                       std::vector<std::string>* warnings) {
    if (picture_width == width && picture_height == height) return;
    if (warnings)
        warnings->push_back(std::string("A ") + kind + " claims " + std::to_string(width) + " x " +
                            std::to_string(height) + " pixels but its picture has " +
                            std::to_string(picture_width) + " x " + std::to_string(picture_height) +
                            "; the picture's size is used.");
    width = picture_width;
    height = picture_height;
}

void take_pictures_size(int32_t& width, int32_t& height, std::span<const Bitmap24> pictures,
                        const char* kind, std::vector<std::string>* warnings) {
    for (const Bitmap24& p : pictures) {
        if (p.empty()) continue;
        take_picture_size(width, height, p.width, p.height, kind, warnings);
        return;
    }
}

} // namespace kelvane
