// Windows-1252 <-> UTF-8.
#include "platform/Text_Encoding.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace kelvane {

namespace {

// Characters of the bytes 0x80 ... 0x9F; the unassigned ones map to the C1 control of
// the same value so that they survive the trip.
constexpr std::array<char32_t, 32> high_block = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t char_of(uint8_t b) {
    return b >= 0x80 && b < 0xA0 ? high_block[b - 0x80] : char32_t(b);
}

std::optional<uint8_t> byte_of(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return uint8_t(c);
    for (size_t i = 0; i < high_block.size(); ++i)
        if (high_block[i] == c) return uint8_t(0x80 + i);
    return std::nullopt;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

char32_t cp1252_char(unsigned char byte) {
    return char_of(byte);
}

std::string cp1252_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) append_utf8(out, char_of(uint8_t(ch)));
    return out;
}

std::optional<std::string> utf8_to_cp1252(std::string_view utf8, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::string> {
        if (error) *error = why;
        return std::nullopt;
    };
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        uint8_t b = uint8_t(utf8[i]);
        size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > utf8.size())
            return fail("malformed UTF-8 at byte " + std::to_string(i));
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (size_t k = 1; k < len; ++k) {
            uint8_t cont = uint8_t(utf8[i + k]);
            if ((cont >> 6) != 2) return fail("malformed UTF-8 at byte " + std::to_string(i));
            c = (c << 6) | (cont & 0x3F);
        }
        // Overlong forms and surrogates are not valid UTF-8.
        static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < least[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return fail("malformed UTF-8 at byte " + std::to_string(i));
        auto byte = byte_of(c);
        if (!byte) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", unsigned(c));
            return fail("character " + std::string(code) + " has no Windows-1252 byte");
        }
        out += char(*byte);
        i += len;
    }
    return out;
}

bool has_lone_line_feed(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return true;
    return false;
}

std::string crlf_line_ends(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

} // namespace kelvane
