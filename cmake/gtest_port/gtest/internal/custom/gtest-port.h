// GoogleTest's customisation header, found before Debian's empty one. The -win32 thread
// variant of the MinGW compilers has no std::mutex or std::condition_variable, which only
// GoogleTest's Notification needs; here it is a Win32 event instead. GoogleTest's own mutexes
// on Windows are critical sections and need nothing else.
#ifndef GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#include <cstddef> // defines _GLIBCXX_HAS_GTHREADS when the C++ library has threads

#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification();
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify();
    void WaitForNotification();

private:
    void* m_event;
};

} // namespace internal
} // namespace testing
#endif

#endif // GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
