// pack and unpack: not yet available.
#include <cstdio>

#include "runner/Commands.h"

namespace kelvane {

int command_pack(const Args&) {
    std::fputs("kelvane pack: not available yet\n", stderr);
    return 1;
}

int command_unpack(const Args&) {
    std::fputs("kelvane unpack: not available yet\n", stderr);
    return 1;
}

} // namespace kelvane
