// GoogleTest's Notification for C++ libraries without threads (see gtest-port.h beside).
#include <gtest/gtest.h>

#if GTEST_HAS_NOTIFICATION_
#include <windows.h>

namespace testing {
namespace internal {

Notification::Notification() : m_event(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

Notification::~Notification() {
    ::CloseHandle(m_event);
}

void Notification::Notify() {
    ::SetEvent(m_event);
}

void Notification::WaitForNotification() {
    ::WaitForSingleObject(m_event, INFINITE);
}

} // namespace internal
} // namespace testing
#endif
