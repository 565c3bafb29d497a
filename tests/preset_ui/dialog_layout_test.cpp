// The main dialog's layout on its real template: where every registered control goes when the
// window grows, shrinks, is minimised and restored, and the minimum tracking size.
#include "gui_test_support.h"
#include "main_dialog_layout.h"

#include <algorithm>

#include <ostream>

static std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
static bool operator==(const RECT& a, const RECT& b) {
    return ::EqualRect(&a, &b) != FALSE;
}

namespace {

// Rectangles of the dialog template, in dialog units as the template gives them.
struct Units {
    int x, y, width, height;
};
// The template's client size, and the smallest client the window can be dragged to.
constexpr Units kClient = {0, 0, main_dialog::kReferenceWidth, main_dialog::kReferenceHeight};
constexpr Units kSmallestClient = {0, 0, main_dialog::kMinTrackWidth, main_dialog::kMinTrackHeight};
static_assert(kClient.width == 288 && kClient.height == 161 && kSmallestClient.height == 141);

// The template's rectangles of the controls the tests place.
constexpr struct {
    int id;
    Units units;
} kTemplateRects[] = {
    {IDC_LOAD, {231, 15, 50, 14}},        {IDCANCEL, {231, 140, 50, 14}},
    {IDC_EFFECT_LABEL, {9, 6, 91, 8}},    {IDC_PRESET_LABEL, {135, 6, 91, 8}},
    {IDC_EFFECT_LIST, {7, 15, 121, 139}}, {IDC_PRESET_LIST, {133, 15, 90, 139}},
};

Units TemplateUnits(int id) {
    for (const auto& r : kTemplateRects)
        if (r.id == id)
            return r.units;
    ADD_FAILURE() << "no template rectangle for control " << id;
    return {0, 0, 0, 0};
}

RECT Offset(RECT r, int dx, int dy, int dRight, int dBottom) {
    return {r.left + dx, r.top + dy, r.right + dRight, r.bottom + dBottom};
}

class LayoutTest : public MainDialogTest {
protected:
    // A template rectangle in pixels, converted as the dialog manager converts it: the
    // position and the size each on their own.
    RECT Template(const Units& rect) const {
        RECT units = {rect.x, rect.y, rect.width, rect.height};
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
    // The controls in registration order, the unregistered Effect label last.
    static constexpr int kIds[] = {
        IDC_LOAD, IDC_SAVE_TO,     IDC_DELETE,      IDC_BACKUP_ALL,   IDC_ABOUT,
        IDCANCEL, IDC_EFFECT_LIST, IDC_PRESET_LIST, IDC_PRESET_LABEL, IDC_EFFECT_LABEL};
    enum Index {
        kLoad,
        kSaveTo,
        kDelete,
        kBackupAll,
        kAbout,
        kClose,
        kEffectList,
        kPresetList,
        kPresetLabel,
        kEffectLabel
    };
};

TEST_F(LayoutTest, FirstPassKeepsTheDesignAndDrawsListBoxesInward) {
    Open();
    EXPECT_EQ(Client(), Template(kClient));
    for (int id : {IDC_LOAD, IDCANCEL, IDC_EFFECT_LABEL, IDC_PRESET_LABEL})
        EXPECT_EQ(ChildRect(Handle(), id), Template(TemplateUnits(id))) << "control " << id;
    // A bordered list box is given its registration-time inner area as its window.
    // The border: what a list box's window has around its client area (they are empty, so no
    // scroll bar shows).
    RECT listWindow, listClient;
    ::GetWindowRect(Item(IDC_PRESET_LIST), &listWindow);
    ::GetClientRect(Item(IDC_PRESET_LIST), &listClient);
    const int b = ((listWindow.right - listWindow.left) - listClient.right) / 2;
    ASSERT_GT(b, 0);
    const RECT preset = Template(TemplateUnits(IDC_PRESET_LIST));
    EXPECT_EQ(ChildRect(Handle(), IDC_PRESET_LIST), Offset(preset, b, b, -b, -b));
    const RECT effect = Template(TemplateUnits(IDC_EFFECT_LIST));
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
    for (int i = kLoad; i <= kBackupAll; ++i)
        EXPECT_EQ(after[i], Offset(before[i], 100, 0, 100, 0)) << "control " << kIds[i];
    for (int i = kAbout; i <= kClose; ++i)
        EXPECT_EQ(after[i], Offset(before[i], 100, 50, 100, 50)) << "control " << kIds[i];
    EXPECT_EQ(after[kEffectList], Offset(before[kEffectList], 0, 0, 0, 50));
    EXPECT_EQ(after[kPresetList], Offset(before[kPresetList], 0, 0, 100, 50));
    EXPECT_EQ(after[kPresetLabel], before[kPresetLabel]);
    EXPECT_EQ(after[kEffectLabel], before[kEffectLabel]); // not registered

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
    EXPECT_EQ(ChildRect(Handle(), IDC_PRESET_LABEL), before[kPresetLabel]);
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
    const RECT smallest = Template(kSmallestClient);

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
TEST_F(LayoutTest, TheAboutBoxOpensAndClosesWithOk) {
    Open();
    const ModalSeen about = AnswerModal("About Trellisan", IDOK, [this] { Click(IDC_ABOUT); });
    EXPECT_TRUE(about.found);
    EXPECT_NE(std::find(about.texts.begin(), about.texts.end(),
                        "Kelvidrome2 - Effects Trellisan\nfor Windows 95, 98, ME, NT and 2000"),
              about.texts.end());
    EXPECT_TRUE(about.picture);
    EXPECT_NE(m_dialog->m_hWnd, nullptr); // the main dialog goes on
}

} // namespace
