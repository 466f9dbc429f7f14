// The game information: a rich-text document shown on request, with its background colour.
#pragma once

#include <cstdint>
#include <string>

#include "stream/Support_Stream.h"

namespace kelvane {

struct GameInformation {
    int32_t version = 430; // 400 has no help_in_window
    int32_t color = 16777215;
    bool help_in_window = false;
    std::string text; // an RTF document, as stored

    // Reads the section; false for a version other than 400 or 430.
    bool read(CStream& s);
    // Writes a section of its version (430 when help_in_window is set).
    void write(CStream& s) const;
};

} // namespace kelvane
