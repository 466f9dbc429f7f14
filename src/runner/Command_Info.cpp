// info: not yet available.
#include <cstdio>

#include "runner/Commands.h"

namespace kelvane {

int command_info(const Args&) {
    std::fputs("kelvane info: not available yet\n", stderr);
    return 1;
}

} // namespace kelvane
