// Fonts found by their Windows names through fontconfig and rendered by FreeType in one bit
// per pixel, with the text metrics Windows gives a font created at a pixel height. Faces
// and glyphs are cached by their owner (a CFonts object), never globally.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// A font as the game asks for it.
struct RFontSpec {
    std::string name = "Arial"; // a Windows face name, Windows-1252
    // The Windows font height: negative is the character (em) height in pixels, positive
    // the cell height (ascent + descent), 0 a default size.
    int32_t height = -16;
    bool bold = false, italic = false;
    bool operator==(const RFontSpec&) const = default;
};

// The Windows font height of a size in points on a 96-dpi screen: -MulDiv(size, 96, 72).
int32_t font_height_for_points(int32_t points);

// The text metrics of a font in whole pixels (y downwards from the baseline).
struct RFontMetrics {
    int32_t ascent = 0, descent = 0; // the cell: ascent above the baseline, descent below
    int32_t underline_offset = 0;    // top of the underline, below the baseline
    int32_t underline_size = 1;
    int32_t strikeout_offset = 0; // top of the strike-out line, above the baseline
    int32_t strikeout_size = 1;
    int32_t height() const { return ascent + descent; }
};

// One rendered glyph: the pen moves by `advance` (unrotated, whole pixels); the picture's
// top-left corner lies at (left, top) from the pen position on the baseline, y downwards.
struct RGlyph {
    int32_t advance = 0;
    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> ink; // width * height, row by row; 1 where the glyph is drawn
};

class CFont {
  public:
    virtual ~CFont() = default;
    virtual const RFontMetrics& metrics() const = 0;
    // The glyph of a Windows-1252 character, its outline turned by `escapement` tenths of a
    // degree counter-clockwise before it is rendered.
    virtual const RGlyph& glyph(uint8_t ch, int32_t escapement) = 0;
    // The width of a line of Windows-1252 text: the sum of the advances (no kerning).
    int32_t text_width(std::string_view text);
    // The font file in use (for messages and tests).
    virtual const std::string& file() const = 0;
};

class CFonts {
  public:
    CFonts();
    ~CFonts();
    CFonts(const CFonts&) = delete;
    CFonts& operator=(const CFonts&) = delete;
    // The font for the request, made on first use; nullptr when no font file can be found
    // or read. The pointer stays valid until the next call with a spec not seen before.
    CFont* font(const RFontSpec& spec);
    // The family asked of fontconfig for a Windows face name: the three common Windows
    // faces map to their metric-compatible Liberation families, others stay as they are.
    static std::string family_for(std::string_view windows_name);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kelvane
