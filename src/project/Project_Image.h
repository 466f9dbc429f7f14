// Picture files of game projects: sprite frames, backgrounds and option pictures are PNG
// files (written by us, 8-bit RGB) or Windows bitmaps; either is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Support_Bitmap24.h"

namespace kelvane {

// An 8-bit RGB PNG of the picture, the same bytes for the same picture.
std::vector<uint8_t> encode_png(const Bitmap24& image);
// A PNG or a Windows bitmap, told apart by their first bytes. An alpha channel is
// dropped: each pixel keeps its colour. Nullopt with a reason in `error` otherwise.
std::optional<Bitmap24> decode_picture(const std::vector<uint8_t>& bytes, std::string* error);

} // namespace kelvane
