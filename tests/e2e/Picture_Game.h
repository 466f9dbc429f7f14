// For games that draw and load pictures: picture files written from rows of letters (see
// Pixel_Art.h), frames and saved bitmaps read back as rows, and the messages of
// game_errors.log in the order they were reported.
#pragma once

#include "../graphics/Pixel_Art.h"
#include "Game_Runner.h"
#include "project/Project_Image.h"

namespace kelvane::e2e {

using kelvane::testing::bitmap_of;
using kelvane::testing::Rows;

inline std::string png_of(const Rows& rows) {
    auto bytes = encode_png(bitmap_of(rows));
    return {bytes.begin(), bytes.end()};
}
inline std::string bmp_of(const Rows& rows) {
    auto bytes = EncodeBmp(bitmap_of(rows));
    return {bytes.begin(), bytes.end()};
}

// A PNG frame or a Windows bitmap file, or nullopt.
inline std::optional<Bitmap24> picture_file(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    return decode_picture(bytes, nullptr);
}

// The w x h part of a picture from (x, y) as rows of letters.
inline Rows rows_at(const Bitmap24& img, int32_t x, int32_t y, int32_t w, int32_t h) {
    Rows rows(size_t(h), std::string(size_t(w), '?'));
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i)
            rows[size_t(j)][size_t(i)] = kelvane::testing::letter_of(img.pixel(x + i, y + j));
    return rows;
}

// Each logged entry is the place of the error, a blank line, the message and three line
// ends.
inline std::vector<std::string> logged_messages(const std::string& log) {
    std::vector<std::string> out;
    const std::string head = ":\r\n\r\n", tail = "\r\n\r\n\r\n";
    for (size_t at = log.find(head); at != std::string::npos; at = log.find(head, at)) {
        at += head.size();
        size_t end = log.find(tail, at);
        if (end == std::string::npos) break;
        out.push_back(log.substr(at, end - at));
        at = end + tail.size();
    }
    return out;
}

} // namespace kelvane::e2e
