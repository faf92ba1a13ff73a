#pragma once

// What the application takes from the system beyond the window. The one place where the
// systems differ here.

#ifdef __GLIBC__
#include <malloc.h>
#endif

// The allocator keeps what a long run's text freed for later use; it goes back to the system.
inline void ReturnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
