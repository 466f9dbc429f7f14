// Asking the kernel for large pages under a big block of memory, where it gives them only
// when asked: a room-size picture then needs a few page-table entries instead of thousands.
#pragma once

#include <cstddef>

namespace kelvane {

// A hint for the whole 2 MiB pages inside [data, data + bytes), given before the memory is
// first touched; it changes no contents, and does nothing where it is not supported.
void advise_large_pages(void* data, size_t bytes);

} // namespace kelvane
