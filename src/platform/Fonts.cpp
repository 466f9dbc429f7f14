// Font finding (fontconfig), rendering (FreeType, monochrome, full TrueType hinting as the
// old black-and-white text had) and the Windows text metrics of a font.
#include "platform/Fonts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_TRUETYPE_TABLES_H

#include "platform/Text_Encoding.h"

namespace kelvane {

int32_t font_height_for_points(int32_t points) {
    // MulDiv rounds to nearest; size * 96 / 72 never ends in exactly one half.
    const int64_t p = int64_t(points) * 96;
    const int64_t q = (p >= 0 ? p + 36 : p - 36) / 72;
    return -int32_t(std::clamp<int64_t>(q, -2147483647, 2147483647));
}

int32_t CFont::text_width(std::string_view text) {
    int64_t w = 0;
    for (char c : text) w += glyph(uint8_t(c), 0).advance;
    return int32_t(std::clamp<int64_t>(w, 0, 1 << 30));
}

namespace {

// Em heights beyond this are drawn at this size: a glyph picture stays below a quarter
// megapixel whatever size a game asks for.
constexpr int32_t max_em = 500;
// The default height of a font asked for with height 0 (12 points).
constexpr int32_t default_em = 16;
// Angles kept in the glyph cache besides upright text.
constexpr size_t max_turned_angles = 4;
// Fonts kept before the cache starts afresh.
constexpr size_t max_fonts = 48;

int32_t scaled(int64_t units, int32_t em, int32_t units_per_em) {
    return int32_t(std::lround(double(units) * em / std::max(units_per_em, 1)));
}

struct FontFile {
    std::string path;
    int index = 0;
    bool synthetic_bold = false, synthetic_italic = false;
};

std::optional<FontFile> find_font_file(FcConfig* config, const RFontSpec& spec) {
    const std::string family = cp1252_to_utf8(CFonts::family_for(spec.name));
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, spec.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::nullopt;
    FontFile out;
    FcChar8* file = nullptr;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        out.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    FcPatternDestroy(match);
    if (out.path.empty()) return std::nullopt;
    // A family without the style asked for is emboldened or slanted, as Windows does.
    out.synthetic_bold = spec.bold && weight < FC_WEIGHT_DEMIBOLD;
    out.synthetic_italic = spec.italic && slant == FC_SLANT_ROMAN;
    return out;
}

class FreeTypeFont : public CFont {
  public:
    FreeTypeFont(FT_Face face, const FontFile& file, int32_t height)
        : face_(face), file_(file.path), bold_(file.synthetic_bold),
          italic_(file.synthetic_italic) {
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        const int32_t upem = std::max<int32_t>(face->units_per_EM, 1);
        int64_t ascent = face->ascender, descent = -int64_t(face->descender);
        if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            ascent = os2->usWinAscent;
            descent = os2->usWinDescent;
        }
        // A positive height is the cell height; a negative one the em height.
        int32_t em = default_em;
        if (height < 0) em = height == INT32_MIN ? max_em : -height;
        if (height > 0)
            em = int32_t(
                std::lround(double(height) * upem / std::max<int64_t>(ascent + descent, 1)));
        em_ = std::clamp(em, 1, max_em);
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(em_));
        metrics_.ascent = scaled(ascent, em_, upem);
        metrics_.descent = scaled(descent, em_, upem);
        metrics_.underline_size = std::max(1, scaled(face->underline_thickness, em_, upem));
        metrics_.underline_offset =
            -scaled(face->underline_position, em_, upem) - metrics_.underline_size / 2;
        int64_t strike_pos = os2 ? os2->yStrikeoutPosition : ascent / 3;
        int64_t strike_size = os2 ? os2->yStrikeoutSize : face->underline_thickness;
        metrics_.strikeout_size = std::max(1, scaled(strike_size, em_, upem));
        metrics_.strikeout_offset = scaled(strike_pos, em_, upem) + metrics_.strikeout_size / 2;
        symbol_ = face->charmap && face->charmap->encoding == FT_ENCODING_MS_SYMBOL;
    }
    ~FreeTypeFont() override { FT_Done_Face(face_); }

    const RFontMetrics& metrics() const override { return metrics_; }
    const std::string& file() const override { return file_; }

    const RGlyph& glyph(uint8_t ch, int32_t escapement) override {
        escapement %= 3600;
        if (escapement < 0) escapement += 3600;
        std::optional<RGlyph>& upright = upright_[ch];
        if (!upright) upright = render(ch, 0, 0);
        if (escapement == 0) return *upright;
        auto it = turned_.find(escapement);
        if (it == turned_.end()) {
            if (turned_.size() >= max_turned_angles) turned_.clear();
            it = turned_.emplace(escapement, Glyphs{}).first;
        }
        std::optional<RGlyph>& g = it->second[ch];
        if (!g) g = render(ch, escapement, upright->advance);
        return *g;
    }

  private:
    using Glyphs = std::array<std::optional<RGlyph>, 256>;
    FT_Face face_;
    std::string file_;
    bool bold_, italic_, symbol_ = false;
    int32_t em_ = default_em;
    RFontMetrics metrics_;
    Glyphs upright_;
    std::map<int32_t, Glyphs> turned_;

    FT_UInt index_of(uint8_t ch) const {
        FT_UInt i = FT_Get_Char_Index(face_, FT_ULong(cp1252_char(ch)));
        // Symbol fonts keep their characters at U+F000 + byte.
        if (i == 0 && symbol_) i = FT_Get_Char_Index(face_, 0xF000 + FT_ULong(ch));
        return i;
    }

    // Renders a glyph turned by `escapement`; an upright one also gives the advance, a
    // turned one takes the upright advance (the pen moves along the turned baseline).
    RGlyph render(uint8_t ch, int32_t escapement, int32_t upright_advance) {
        RGlyph g;
        const double a = escapement * std::numbers::pi / 1800.0;
        const double c = std::cos(a), s = std::sin(a), shear = italic_ ? 0.2 : 0.0;
        // Rotation after the synthetic slant; FreeType's y axis points up, so this turns
        // counter-clockwise on the screen too.
        FT_Matrix m;
        m.xx = FT_Fixed(std::lround(c * 65536));
        m.xy = FT_Fixed(std::lround((c * shear - s) * 65536));
        m.yx = FT_Fixed(std::lround(s * 65536));
        m.yy = FT_Fixed(std::lround((s * shear + c) * 65536));
        const bool identity = escapement == 0 && !italic_;
        FT_Set_Transform(face_, identity ? nullptr : &m, nullptr);
        FT_Error e = FT_Load_Glyph(face_, index_of(ch), FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP);
        if (!e) e = FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_MONO);
        FT_Set_Transform(face_, nullptr, nullptr);
        // Upright, hinted advances are whole pixels (a slant leaves them as they are); a
        // turned glyph takes the upright advance.
        g.advance = escapement != 0 ? upright_advance
                    : e             ? 0
                        : int32_t((face_->glyph->advance.x + 32) >> 6) + (bold_ ? 1 : 0);
        if (e) return g;
        const FT_Bitmap& b = face_->glyph->bitmap;
        if (b.pixel_mode != FT_PIXEL_MODE_MONO || b.width == 0 || b.rows == 0) return g;
        // Synthetic bold draws the glyph twice, one pixel apart along the baseline.
        const int32_t dx = bold_ ? int32_t(std::lround(c)) : 0;
        const int32_t dy = bold_ ? int32_t(std::lround(-s)) : 0;
        const int32_t bw = int32_t(b.width), bh = int32_t(b.rows);
        g.left = face_->glyph->bitmap_left + std::min(dx, 0);
        g.top = -face_->glyph->bitmap_top + std::min(dy, 0);
        g.width = bw + std::abs(dx);
        g.height = bh + std::abs(dy);
        g.ink.assign(size_t(g.width) * size_t(g.height), 0);
        const int32_t pitch = b.pitch;
        for (int32_t y = 0; y < bh; ++y) {
            const uint8_t* row = b.buffer + (pitch >= 0 ? y : y - bh + 1) * int64_t(pitch);
            for (int32_t x = 0; x < bw; ++x) {
                if (!(row[x >> 3] & (0x80 >> (x & 7)))) continue;
                const int32_t ox = x - std::min(dx, 0), oy = y - std::min(dy, 0);
                g.ink[size_t(oy) * size_t(g.width) + size_t(ox)] = 1;
                if (bold_) g.ink[size_t(oy + dy) * size_t(g.width) + size_t(ox + dx)] = 1;
            }
        }
        return g;
    }
};

struct FontKey {
    std::string name;
    int32_t height;
    bool bold, italic;
    auto operator<=>(const FontKey&) const = default;
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

} // namespace

struct CFonts::Impl {
    FT_Library library = nullptr;
    // A fontconfig set-up of our own, released with us; loaded when a font is first
    // asked for, as most runs that never draw text need none.
    FcConfig* config = nullptr;
    bool config_tried = false;
    std::map<FontKey, std::unique_ptr<FreeTypeFont>> fonts;
    // Names that no font could be made for (so that a missing font is not searched for
    // at every drawing call).
    std::map<FontKey, bool> missing;
};

CFonts::CFonts() : impl_(std::make_unique<Impl>()) {
    if (FT_Init_FreeType(&impl_->library)) {
        impl_->library = nullptr;
        return;
    }
    // The classic hinting engine: whole-pixel stems and advances, as black-and-white
    // Windows text was drawn.
    FT_UInt version = TT_INTERPRETER_VERSION_35;
    FT_Property_Set(impl_->library, "truetype", "interpreter-version", &version);
}

CFonts::~CFonts() {
    impl_->fonts.clear();
    if (impl_->library) FT_Done_FreeType(impl_->library);
    if (impl_->config) FcConfigDestroy(impl_->config);
}

std::string CFonts::family_for(std::string_view windows_name) {
    // Windows face names ignore letter case.
    const std::string n = lower(windows_name);
    if (n == "arial") return "Liberation Sans";
    if (n == "times new roman") return "Liberation Serif";
    if (n == "courier new") return "Liberation Mono";
    return std::string(windows_name);
}

CFont* CFonts::font(const RFontSpec& spec) {
    const FontKey key{lower(spec.name), spec.height, spec.bold, spec.italic};
    if (auto it = impl_->fonts.find(key); it != impl_->fonts.end()) return it->second.get();
    if (impl_->missing.count(key)) return nullptr;
    if (!impl_->config_tried) {
        impl_->config_tried = true;
        impl_->config = FcInitLoadConfigAndFonts();
    }
    if (!impl_->library || !impl_->config) return nullptr;
    if (impl_->fonts.size() >= max_fonts) impl_->fonts.clear();
    std::optional<FontFile> file = find_font_file(impl_->config, spec);
    FT_Face face = nullptr;
    if (!file || FT_New_Face(impl_->library, file->path.c_str(), file->index, &face) ||
        !FT_IS_SCALABLE(face)) {
        if (face) FT_Done_Face(face);
        if (impl_->missing.size() < 256) impl_->missing[key] = true;
        return nullptr;
    }
    auto font = std::make_unique<FreeTypeFont>(face, *file, spec.height);
    CFont* out = font.get();
    impl_->fonts.emplace(key, std::move(font));
    return out;
}

} // namespace kelvane
