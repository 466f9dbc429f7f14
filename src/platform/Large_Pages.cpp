// Large pages for big blocks: only the 2 MiB-aligned middle of a block can be given them,
// so the hint covers that part and leaves the rest as it is.
#include "platform/Large_Pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace kelvane {

void advise_large_pages(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t large = uintptr_t(2) << 20;
    const uintptr_t begin = (uintptr_t(data) + large - 1) & ~(large - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(large - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data, (void)bytes;
#endif
}

} // namespace kelvane
