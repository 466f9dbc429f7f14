// A background resource: one picture with its drawing flags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Support_Bitmap24.h"

namespace kelvane {

class CBackground {
  public:
    int32_t width = 0, height = 0;
    std::optional<Bitmap24> image;
    bool transparent = false;
    bool videomem = false;
    bool loadonuse = false;

    // Reads the record; false for a wrong record version. Malformed data throws.
    bool read(CStream& s, std::vector<std::string>* warnings = nullptr);
    void write(CStream& s) const;
    // Loads the picture from a file (host path). False, leaving the background as it was,
    // when the file is missing, unreadable or of no known kind.
    bool load_from_file(const std::string& path, bool transparent, bool videomem, bool loadonuse);
};

} // namespace kelvane
