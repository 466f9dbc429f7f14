// The rich-text reader on a table of documents: styles, colours, escapes, paragraphs and
// malformed or hostile groups.
#include <gtest/gtest.h>

#include "graphics/Help_Rtf.h"

using namespace kelvane;

namespace {

// The paragraphs as text, with the runs marked by their style: *bold*, /italic/, _under_.
std::string marked(const RRtfDocument& d) {
    std::string out;
    for (const auto& p : d.paragraphs) {
        if (!out.empty()) out += "|";
        if (p.align) out += "<" + std::to_string(p.align) + ">";
        for (const auto& r : p.runs) {
            std::string m = r.style.bold        ? "*"
                            : r.style.italic    ? "/"
                            : r.style.underline ? "_"
                                                : "";
            out += m + r.text + m;
        }
    }
    return out;
}

} // namespace

TEST(Rtf, DocumentsReadAsTheirParagraphsAndStyles) {
    struct Case {
        const char* name;
        std::string rtf;
        std::string expected;
    } cases[] = {
        {"plain", "{\\rtf1\\ansi Hello world\\par}", "Hello world"},
        {"bold and italic", "{\\rtf1 a\\b b\\b0 c{\\i d}e\\par}", "a*b*c/d/e"},
        {"underline ends", "{\\rtf1 \\ul u\\ulnone n\\par}", "_u_n"},
        {"paragraphs", "{\\rtf1 one\\par two\\par\\par three\\par}", "one|two||three"},
        {"alignment", "{\\rtf1 \\qc mid\\par\\pard left\\par\\qr right\\par}",
         "<1>mid|left|<2>right"},
        {"escapes", "{\\rtf1 caf\\'e9 \\{x\\} a\\\\b\\tab c\\par}", "caf\xe9 {x} a\\b\tc"},
        {"unicode", "{\\rtf1 \\uc1\\u233?t\\u8364?\\par}", "\xe9t?"},
        {"skipped groups",
         "{\\rtf1{\\*\\generator Tool;}{\\info{\\title T}}{\\stylesheet{s}}x\\par}", "x"},
        {"not rich text", "line one\r\nline two", "line one|line two"},
        {"unclosed", "{\\rtf1 {\\b open", "*open*"},
        {"too many closings", "{\\rtf1 a}}}} b", "a b"},
        {"cut escape", "{\\rtf1 a\\'e", "a"},
        {"lone backslash", "{\\rtf1 a\\", "a"},
    };
    for (const auto& c : cases) EXPECT_EQ(marked(read_rtf(c.rtf)), c.expected) << c.name;
}

TEST(Rtf, FontAndColourTablesGiveEachRunItsFaceSizeAndColour) {
    RRtfDocument d =
        read_rtf("{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f3\\froman Times New "
                 "Roman;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue128;}"
                 "\\f3\\fs40\\cf1 Big red\\cf2\\f0\\fs20  small\\par}");
    ASSERT_EQ(d.paragraphs.size(), 1u);
    const auto& runs = d.paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(d.font_name(runs[0].style.font), "Times New Roman");
    EXPECT_EQ(runs[0].style.half_points, 40);
    EXPECT_EQ(d.colours[size_t(runs[0].style.colour)], 255);
    EXPECT_EQ(d.font_name(runs[1].style.font), "Arial");
    EXPECT_EQ(d.colours[size_t(runs[1].style.colour)], 128 << 16);
    EXPECT_EQ(d.colours[0], -1); // the "auto" entry
}

TEST(Rtf, DeepNestingAndHugeNumbersStayBounded) {
    std::string deep = "{\\rtf1 ";
    for (int i = 0; i < 200000; ++i) deep += "{\\b";
    deep += " x";
    RRtfDocument d = read_rtf(deep);
    EXPECT_EQ(rtf_plain_text(d), "x\n");
    RRtfDocument big =
        read_rtf("{\\rtf1\\fs99999999999999999999 a\\cf-99999999999 b\\u-5000000?\\par}");
    EXPECT_EQ(rtf_plain_text(big), "ab?\n");
}
