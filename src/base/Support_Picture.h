// Picture files that games load at run time: Windows bitmaps, PNG, JPEG, and GIF with
// every frame of an animation. Whatever the file holds comes out as 24-bit pictures drawn
// over the fill colour 32832 (an alpha channel blends over it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Support_Bitmap24.h"

namespace kelvane {

// The colour a loaded picture is drawn over.
constexpr uint32_t picture_fill_colour = 32832;

// Largest picture file read (bytes).
constexpr size_t max_picture_file = size_t(256) << 20;

// The bytes of a file, nullopt when it cannot be read or is too large.
std::optional<std::vector<uint8_t>> read_picture_file(const std::string& path);

// A Windows bitmap, PNG, JPEG or GIF (its first frame), told apart by their first bytes.
// Nullopt (with a reason) for anything else or a damaged file.
std::optional<Bitmap24> decode_picture_file(const std::vector<uint8_t>& bytes,
                                            std::string* error = nullptr);

// The frames of a GIF, each the size of the GIF's screen: a canvas filled with the fill
// colour receives each image at its place, its transparent colour left out; a copy is
// taken as the frame; the next image starts on a fresh canvas unless this one asked to be
// left in place (disposal "do not dispose").
std::optional<std::vector<Bitmap24>> decode_gif_frames(const std::vector<uint8_t>& bytes,
                                                       std::string* error = nullptr);

// Whether a file name ends in ".gif" (any letter case).
bool has_gif_extension(const std::string& name);

} // namespace kelvane
