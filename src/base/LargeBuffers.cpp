#include "base/LargeBuffers.h"

#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace velmora::conversion {

void preferLargePagesForBuffers() {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kMiB = 1024 * 1024;
    constexpr std::uintptr_t kLargePage = 2 * kMiB;
    // Buffers of a few MB from the heap, not from fresh mappings; one heap for every thread, so
    // a worker's buffers land there too; room for a run's buffers reserved at once.
    if (mallopt(M_MMAP_THRESHOLD, static_cast<int>(32 * kMiB)) != 1 ||
        mallopt(M_ARENA_MAX, 1) != 1 || mallopt(M_TOP_PAD, static_cast<int>(96 * kMiB)) != 1 ||
        mallopt(M_TRIM_THRESHOLD, static_cast<int>(192 * kMiB)) != 1)
        return;
    // Growing the heap by the reserve makes the region the advice is given for.
    void* probe = std::malloc(kMiB);
    if (probe == nullptr)
        return;
    const auto start =
        (reinterpret_cast<std::uintptr_t>(probe) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    // Only where the probe came from the program's break, not from another allocator's mappings.
    if (start < end && end - start <= 128 * kMiB)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    std::free(probe);
#endif
}

} // namespace velmora::conversion
