// The main dialog's layout on its real template: where every registered control goes when the
// window grows, shrinks, is minimised and restored, and the minimum tracking size.
#include "gui_test_support.h"

#include <ostream>

static std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
static bool operator==(const RECT& a, const RECT& b) {
    return ::EqualRect(&a, &b) != FALSE;
}

namespace {

RECT Offset(RECT r, int dx, int dy, int dRight, int dBottom) {
    return {r.left + dx, r.top + dy, r.right + dRight, r.bottom + dBottom};
}

class LayoutTest : public MainDialogTest {
protected:
    // A template rectangle in pixels, converted as the dialog manager converts it: the
    // position and the size each on their own.
    RECT Template(int x, int y, int width, int height) const {
        RECT units = {x, y, width, height};
        ::MapDialogRect(Handle(), &units);
        return {units.left, units.top, units.left + units.right, units.top + units.bottom};
    }
    RECT Client() const {
        RECT r;
        ::GetClientRect(Handle(), &r);
        return r;
    }
    void Grow(int dx, int dy) {
        RECT w;
        ::GetWindowRect(Handle(), &w);
        ::SetWindowPos(Handle(), nullptr, 0, 0, w.right - w.left + dx, w.bottom - w.top + dy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Pump();
    }
    std::vector<RECT> AllRects() const {
        std::vector<RECT> rects;
        for (int id : kIds)
            rects.push_back(ChildRect(Handle(), id));
        return rects;
    }
    static constexpr int kIds[] = {
        IDC_LOAD, IDC_SAVE_TO,     IDC_DELETE,      IDC_BACKUP_ALL,   IDC_ABOUT,
        IDCANCEL, IDC_EFFECT_LIST, IDC_PRESET_LIST, IDC_PRESET_LABEL, IDC_EFFECT_LABEL};
};

TEST_F(LayoutTest, FirstPassKeepsTheDesignAndDrawsListBoxesInward) {
    Open();
    EXPECT_EQ(Client(), Template(0, 0, 288, 161));
    EXPECT_EQ(ChildRect(Handle(), IDC_LOAD), Template(231, 15, 50, 14));
    EXPECT_EQ(ChildRect(Handle(), IDCANCEL), Template(231, 140, 50, 14));
    EXPECT_EQ(ChildRect(Handle(), IDC_EFFECT_LABEL), Template(9, 6, 91, 8));
    EXPECT_EQ(ChildRect(Handle(), IDC_PRESET_LABEL), Template(135, 6, 91, 8));
    // A bordered list box is given its registration-time inner area as its window.
    // The border: what a list box's window has around its client area (they are empty, so no
    // scroll bar shows).
    RECT listWindow, listClient;
    ::GetWindowRect(Item(IDC_PRESET_LIST), &listWindow);
    ::GetClientRect(Item(IDC_PRESET_LIST), &listClient);
    const int b = ((listWindow.right - listWindow.left) - listClient.right) / 2;
    ASSERT_GT(b, 0);
    const RECT preset = Template(133, 15, 90, 139);
    EXPECT_EQ(ChildRect(Handle(), IDC_PRESET_LIST), Offset(preset, b, b, -b, -b));
    const RECT effect = Template(7, 15, 121, 139);
    EXPECT_EQ(ChildRect(Handle(), IDC_EFFECT_LIST), Offset(effect, 2 * b, b, 0, -b));
    // Stable from then on for the same size.
    std::vector<RECT> before = AllRects();
    RECT client = Client();
    ::SendMessageA(Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    EXPECT_EQ(AllRects(), before);
}

TEST_F(LayoutTest, GrowingMovesAndSizesTheControlsByTheirAnchors) {
    Open();
    const std::vector<RECT> before = AllRects();
    const RECT client = Client();
    Grow(100, 50);
    ASSERT_EQ(Client().right, client.right + 100);
    ASSERT_EQ(Client().bottom, client.bottom + 50);

    const std::vector<RECT> after = AllRects();
    for (int i = 0; i < 4; ++i) // Load, Save To, Delete, Backup All
        EXPECT_EQ(after[i], Offset(before[i], 100, 0, 100, 0)) << "control " << kIds[i];
    for (int i = 4; i < 6; ++i) // About, Close
        EXPECT_EQ(after[i], Offset(before[i], 100, 50, 100, 50)) << "control " << kIds[i];
    EXPECT_EQ(after[6], Offset(before[6], 0, 0, 0, 50));   // effect list
    EXPECT_EQ(after[7], Offset(before[7], 0, 0, 100, 50)); // preset list
    EXPECT_EQ(after[8], before[8]);                        // Preset label
    EXPECT_EQ(after[9], before[9]);                        // Effect label, not registered

    // Shrinking back puts everything where it was: nothing drifts.
    Grow(-100, -50);
    EXPECT_EQ(AllRects(), before);
}

TEST_F(LayoutTest, MinimisingAndRestoringPutsEveryControlBack) {
    Open();
    Grow(60, 30);
    const std::vector<RECT> before = AllRects();
    ::ShowWindow(Handle(), SW_MINIMIZE);
    Pump();
    ASSERT_TRUE(::IsIconic(Handle()));
    ::ShowWindow(Handle(), SW_RESTORE);
    Pump();
    ASSERT_FALSE(::IsIconic(Handle()));
    EXPECT_EQ(AllRects(), before);
}

TEST_F(LayoutTest, ALayoutPassForAnEmptyClientIsUndoneByTheNext) {
    Open();
    const std::vector<RECT> before = AllRects();
    m_dialog->LayoutControls(RECT{0, 0, 0, 0});
    RECT preset = ChildRect(Handle(), IDC_PRESET_LIST);
    EXPECT_LE(preset.right - preset.left, 0);
    EXPECT_EQ(ChildRect(Handle(), IDC_PRESET_LABEL), before[8]);
    m_dialog->LayoutControls(Client());
    EXPECT_EQ(AllRects(), before);
}

TEST_F(LayoutTest, TheMinimumTrackingSizeIsTheSmallestClientPlusTheFrame) {
    Open();
    RECT window;
    ::GetWindowRect(Handle(), &window);
    const RECT client = Client();
    const int frameX = (window.right - window.left) - client.right;
    const int frameY = (window.bottom - window.top) - client.bottom;
    const RECT smallest = Template(0, 0, 288, 141);

    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 1};
    info.ptMaxTrackSize = {777, 777};
    ::SendMessageA(Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, smallest.right + frameX);
    EXPECT_EQ(info.ptMinTrackSize.y, smallest.bottom + frameY);
    EXPECT_EQ(info.ptMaxTrackSize.x, 777);
    EXPECT_EQ(info.ptMaxTrackSize.y, 777);

    // The window system keeps the user from dragging it smaller.
    Grow(-200, -200);
    ::GetWindowRect(Handle(), &window);
    EXPECT_GE(window.right - window.left, smallest.right + frameX);
    EXPECT_GE(window.bottom - window.top, smallest.bottom + frameY);
}

// The About box runs modally from the About button and closes with OK.
struct AboutSeen {
    bool found = false;
    std::string title;
    std::string lines;
    bool picture = false;
};
AboutSeen g_about;

void CALLBACK CloseAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND about = ::FindWindowA(nullptr, "About Trellisan");
    if (about == nullptr)
        return;
    ::KillTimer(nullptr, timer);
    g_about.found = true;
    char text[200] = {0};
    ::GetWindowTextA(about, text, sizeof text);
    g_about.title = text;
    for (HWND child = ::GetWindow(about, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::GetWindowTextA(child, text, sizeof text);
        if (std::string(text).rfind("Kelvidrome2", 0) == 0)
            g_about.lines = text;
        if (::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0) != 0)
            g_about.picture = true;
    }
    ::SendMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST_F(LayoutTest, TheAboutBoxOpensAndClosesWithOk) {
    Open();
    UINT_PTR timer = ::SetTimer(nullptr, 0, 20, CloseAbout);
    Click(IDC_ABOUT);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(g_about.found);
    EXPECT_EQ(g_about.lines,
              "Kelvidrome2 - Effects Trellisan\nfor Windows 95, 98, ME, NT and 2000");
    EXPECT_TRUE(g_about.picture);
    EXPECT_NE(m_dialog->m_hWnd, nullptr); // the main dialog goes on
}

} // namespace
