#pragma once

#if defined(__SANITIZE_THREAD__)
#define ORVANTA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVANTA_THREAD_SANITIZER 1
#endif
#endif
#ifdef ORVANTA_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

// Qt hands a posted event to the window's thread under a lock of its own that ThreadSanitizer
// cannot see (Debian's Qt is not built for it), so a ThreadSanitizer build is told of the
// hand-off: what a thread posts is published once it is built, and the window's thread takes the
// hand-off before it looks at it. In every other build both do nothing.
inline char g_eventHandOff;

inline void PublishEventHandOff()
{
#ifdef ORVANTA_THREAD_SANITIZER
    __tsan_release(&g_eventHandOff);
#endif
}

inline void TakeEventHandOff()
{
#ifdef ORVANTA_THREAD_SANITIZER
    __tsan_acquire(&g_eventHandOff);
#endif
}
