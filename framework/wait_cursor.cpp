#include "wait_cursor.h"

#include <windows.h>

namespace {
int g_depth = 0;
HCURSOR g_previous = nullptr;
} // namespace

void BeginWaitCursor() {
    HCURSOR previous = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
    if (g_depth++ == 0)
        g_previous = previous;
}

void EndWaitCursor() {
    if (g_depth == 0)
        return;
    if (--g_depth == 0)
        ::SetCursor(g_previous != nullptr ? g_previous : ::LoadCursorA(nullptr, IDC_ARROW));
}
