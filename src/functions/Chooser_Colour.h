// The colour chooser of get_color (TColourForm): a palette of basic colours, the colour's
// red, green and blue and its hue, saturation and value as fields, a sample of it, OK and
// Cancel; driven by the mouse or the keys. Also the conversions between the colour models.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/Form_Host.h"

namespace kelvane {

struct Runtime;

struct RRgb {
    int32_t r = 0, g = 0, b = 0; // 0 ... 255
    bool operator==(const RRgb&) const = default;
};
struct RHsv {
    int32_t h = 0, s = 0, v = 0; // hue 0 ... 359 degrees, saturation and value 0 ... 100
    bool operator==(const RHsv&) const = default;
};

// Rounded to the nearest whole unit; a grey has hue 0 and saturation 0.
RHsv rgb_to_hsv(RRgb c);
// Out-of-range parts are held to their ranges first (a hue wraps around).
RRgb hsv_to_rgb(RHsv c);
// Windows colours: red + 256 * green + 65536 * blue.
RRgb rgb_of_colour(uint32_t colour);
uint32_t colour_of_rgb(RRgb c);

// A colour as the answers file gives it: a Windows colour in decimal ("255" is red),
// "#RRGGBB" in hexadecimal as on the web, or "R,G,B"; nullopt for anything else.
std::optional<uint32_t> parse_colour_answer(const std::string& line);

// The 48 colours of the palette, by rows of 8.
const std::array<uint32_t, 48>& colour_palette();

class TColourForm : public TForm {
  public:
    explicit TColourForm(uint32_t start);
    int32_t client_width() const override { return 400; }
    int32_t client_height() const override { return 236; }
    std::optional<std::string> caption() const override { return std::string("Color"); }
    void frame(CUi& ui) override;
    // A colour as parse_colour_answer reads it; anything else cancels.
    void answer(const std::string& line) override;

    uint32_t colour;       // the colour shown
    bool accepted = false; // closed with OK (or Enter)

  private:
    // The six fields: red, green, blue, hue, saturation, value.
    std::array<std::string, 6> fields_;
    int32_t selected_ = -1; // the palette cell with the keys, -1 none
    bool first_frame_ = true;
    void set_colour(uint32_t c, int32_t keep_field);
};

// get_color: the chosen colour, -1 when cancelled, 0 when no window could be shown.
int32_t choose_colour(Runtime& rt, int32_t start);

} // namespace kelvane
