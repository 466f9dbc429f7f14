// A background resource: one picture with its drawing flags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Support_Bitmap24.h"
#include "base/Support_Strip.h"

namespace kelvane {

class CBackground {
  public:
    int32_t width = 0, height = 0;
    std::optional<Bitmap24> image;
    // A game loaded to run holds the picture of a background that is not loaded on use
    // here instead (`image` stays empty): decoded straight into what its display surface
    // takes over.
    std::optional<PictureStrip> strip;
    bool transparent = false;
    bool videomem = false;
    bool loadonuse = false;

    // Reads the record; false for a wrong record version. Malformed data throws. A stream
    // that keeps no encodings (a game loaded to run) fills `strip`, unless loaded on use.
    bool read(CStream& s, std::vector<std::string>* warnings = nullptr);
    void write(CStream& s) const;
    // Loads the picture from a file (host path). False, leaving the background as it was,
    // when the file is missing, unreadable or of no known kind.
    bool load_from_file(const std::string& path, bool transparent, bool videomem, bool loadonuse);
};

} // namespace kelvane
