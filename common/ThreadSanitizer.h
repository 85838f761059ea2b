#pragma once

// Hand-over marks for ThreadSanitizer. Qt is not built with the sanitizer, so the order its thread
// pool and event queues give (their locks live inside the library) is invisible to it: the code
// that hands work to another thread marks the hand-over itself. Outside a sanitizer build these
// are empty.
#if defined(__SANITIZE_THREAD__)
#define FD_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FD_THREAD_SANITIZER 1
#endif
#endif

#ifdef FD_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace fd::tsan {

// Everything this thread did so far is ordered before a later acquire() of the same address on
// another thread. The address is a token: an object that outlives the hand-over.
inline void release([[maybe_unused]] const void* token)
{
#ifdef FD_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void acquire([[maybe_unused]] const void* token)
{
#ifdef FD_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(token));
#endif
}

} // namespace fd::tsan
