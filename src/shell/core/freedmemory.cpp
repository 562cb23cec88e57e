#include "shell/core/freedmemory.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace freedmemory {

namespace {
constexpr int kOwnMappingBytes = 4 * 1024 * 1024;
} // namespace

void keepLittle()
{
#if defined(__GLIBC__)
    // Setting either limit also stops the allocator from raising them.
    mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes);
    mallopt(M_TRIM_THRESHOLD, kOwnMappingBytes);
#endif
}

void giveBack()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace freedmemory
