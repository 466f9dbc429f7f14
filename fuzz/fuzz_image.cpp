// fuzz-options: -max_len=65536 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: picture files as games load them at run time (Windows bitmap, PNG,
// JPEG, GIF told apart by their first bytes) and every frame of a GIF: each decodes or
// fails with a reason.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Support_Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::string error;
    kelvane::decode_picture_file(bytes, &error);
    kelvane::decode_gif_frames(bytes, &error);
    return 0;
}
