#include "shell/core/freedmemory.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace freedmemory {

void giveBack()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace freedmemory
