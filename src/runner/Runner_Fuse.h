// Standalone games: `kelvane fuse` appends a game block to a copy of the runner, followed
// by a trailer of our own (the block's size and a magic word), so that the runner finds
// its game at the end of its own file whatever its own size is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

// Where a fused game's block lies in the file.
struct RFusedBlock {
    uint64_t offset = 0;
    uint64_t size = 0;
};

// The trailer's size: the block's size (8 bytes, little-endian), then "KLVFUSE1".
constexpr size_t fuse_trailer_size = 16;

// The fused block of the file at `path`, when it ends with a sound trailer.
std::optional<RFusedBlock> find_fused_block(const std::string& path);

// The trailer that follows a block of `block_size` bytes.
std::vector<uint8_t> fuse_trailer(uint64_t block_size);

int command_fuse(const std::vector<std::string>& args);

} // namespace kelvane
