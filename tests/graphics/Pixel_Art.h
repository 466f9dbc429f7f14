// Pictures written as rows of letters, one letter a pixel, so that pixel checks read like
// the pictures they check: '.' black, 'r' red, 'g' green, 'b' blue, 'w' white, 'k'
// magenta (the usual key colour), 'y' yellow, 'c' cyan, 'o' orange, 'z' grey, 'f' the
// fill colour 32832 that loaded pictures are drawn over; '?' in a result marks a colour
// outside this palette.
#pragma once

#include <string>
#include <vector>

#include "graphics/Graphics_DDraw.h"

namespace kelvane::testing {

using Rows = std::vector<std::string>;

// Windows colour values (red + 256 green + 65536 blue).
inline uint32_t colour_of(char c) {
    switch (c) {
    case 'r':
        return 0x0000FF;
    case 'g':
        return 0x00FF00;
    case 'b':
        return 0xFF0000;
    case 'w':
        return 0xFFFFFF;
    case 'k':
        return 0xFF00FF;
    case 'y':
        return 0x00FFFF;
    case 'c':
        return 0xFFFF00;
    case 'o':
        return 0x0080FF;
    case 'z':
        return 0x808080;
    case 'f':
        return 32832;
    default:
        return 0x000000;
    }
}

inline char letter_of(uint32_t colour) {
    for (char c : std::string(".rgbwkycozf"))
        if (colour_of(c) == colour) return c;
    return '?';
}

inline Bitmap24 bitmap_of(const Rows& rows) {
    Bitmap24 img(int32_t(rows[0].size()), int32_t(rows.size()));
    for (int32_t y = 0; y < img.height; ++y)
        for (int32_t x = 0; x < img.width; ++x)
            img.set_pixel(x, y, colour_of(rows[size_t(y)][size_t(x)]));
    return img;
}

inline Rows rows_of(const Bitmap24& img) {
    Rows rows(size_t(img.height), std::string(size_t(img.width), '.'));
    for (int32_t y = 0; y < img.height; ++y)
        for (int32_t x = 0; x < img.width; ++x)
            rows[size_t(y)][size_t(x)] = letter_of(img.pixel(x, y));
    return rows;
}

inline DDSurface surface_of(const Rows& rows, bool transparent = false, char key = 'k') {
    DDSurface s;
    s.create(int32_t(rows[0].size()), int32_t(rows.size()), true, colour_of(key), transparent);
    s.draw_bitmap(bitmap_of(rows), 0, 0);
    return s;
}

inline Rows rows_of(const DDSurface& s) {
    return rows_of(to_bitmap24(s.surface));
}
inline Rows rows_of(const Image32& image) {
    return rows_of(to_bitmap24(image));
}

// A black surface of the size.
inline DDSurface blank(int32_t w, int32_t h) {
    DDSurface s;
    s.create(w, h, true, 0, false);
    return s;
}

} // namespace kelvane::testing
