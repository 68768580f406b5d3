#pragma once

// An object one thread makes or changes and another thread then uses, handed over through a
// library whose own locking the thread checker cannot see: GStreamer's streaming threads and
// Qt's event queue are built without it. The thread that hands the object over marks it so, and
// the thread that takes it over marks it so before its first use; the checker then knows that
// everything done before the first mark happened before everything after the second. Outside a
// build with the thread checker both marks are nothing.

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace korvane {

inline void markHandedOver([[maybe_unused]] const void *object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void *>(object));
#endif
}

inline void markTakenOver([[maybe_unused]] const void *object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void *>(object));
#endif
}

} // namespace korvane
