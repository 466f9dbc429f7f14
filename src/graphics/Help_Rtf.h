// Our reader of the rich-text documents that the game information holds: the font and
// colour tables, sizes, bold, italic and underline, colours, paragraphs with their
// alignment, tabs and line breaks, Windows-1252 text with its \'xx escapes. Groups it does
// not know (pictures, style sheets, document information, \* destinations) are skipped.
// It never fails: a document that is not rich text reads as plain text, and whatever a
// malformed document holds, reading stays within its bytes and its nesting costs no stack.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

struct RRtfStyle {
    int32_t font = -1;       // index into the font table; -1 the default
    int32_t half_points = 0; // 0: the default size
    bool bold = false, italic = false, underline = false;
    int32_t colour = -1; // index into the colour table; -1 (or 0 when "auto") the default
    bool operator==(const RRtfStyle&) const = default;
};

struct RRtfRun {
    RRtfStyle style;
    std::string text; // Windows-1252; a tab is '\t'
};

struct RRtfParagraph {
    int32_t align = 0; // 0 left, 1 centred, 2 right, 3 justified (shown as left)
    std::vector<RRtfRun> runs;
};

struct RRtfDocument {
    std::vector<std::string> fonts;    // face names by font number
    std::vector<int32_t> font_numbers; // the \fN number of each entry of `fonts`
    std::vector<int32_t> colours;      // Windows colours; -1 for "auto"
    std::vector<RRtfParagraph> paragraphs;
    // The face name of a font number, or empty.
    std::string font_name(int32_t number) const;
};

RRtfDocument read_rtf(std::string_view bytes);

// The document's text: paragraphs as lines ending in a line feed.
std::string rtf_plain_text(const RRtfDocument& doc);

} // namespace kelvane
