// fuzz-options: -max_len=65536 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: the rich-text reader of the game information. Any bytes must read
// without a crash, reading past the input or deep recursion, and the document must lay
// out at a small width.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/Help_Form.h"
#include "graphics/Help_Rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvane;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RRtfDocument doc = read_rtf(bytes);
    (void)rtf_plain_text(doc);
    // Laying out touches every font and size the document asks for; keep it to short
    // documents so that each run stays quick.
    if (size < 4096) {
        static CFonts fonts;
        (void)layout_document(doc, 120, fonts);
    }
    return 0;
}
