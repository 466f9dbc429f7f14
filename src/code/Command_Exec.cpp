// exec: not yet available.
#include <cstdio>

#include "runner/Commands.h"

namespace kelvane {

int command_exec(const Args&) {
    std::fputs("kelvane exec: not available yet\n", stderr);
    return 1;
}

} // namespace kelvane
