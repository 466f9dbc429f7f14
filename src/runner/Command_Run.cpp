// run: not yet available.
#include <cstdio>

#include "runner/Commands.h"

namespace kelvane {

int command_run(const Args&) {
    std::fputs("kelvane run: not available yet\n", stderr);
    return 1;
}

} // namespace kelvane
