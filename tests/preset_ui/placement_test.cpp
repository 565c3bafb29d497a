// The main dialog's placement memory: six values in the settings key, written when it closes
// and applied when it opens.
#include "gui_test_support.h"

namespace {

// The values are named after the main dialog's title, "Effects Trellisan".
const std::string kPrefix = "Effects_Trellisan";
enum Value { kLeft, kTop, kRight, kBottom, kFlags, kStatus, kValueCount };
const char* const kSuffixes[kValueCount] = {"_Left",   "_Top",   "_Right",
                                            "_Bottom", "_Flags", "_Status"};

std::string ValueName(Value value) {
    return kPrefix + kSuffixes[value];
}

struct Stored {
    bool present[kValueCount];
    DWORD value[kValueCount];
};

Stored ReadAll() {
    Stored s = {};
    for (int i = 0; i < kValueCount; ++i)
        s.present[i] = ReadSetting(ValueName(static_cast<Value>(i)), s.value[i]);
    return s;
}

class PlacementTest : public MainDialogTest {
public:
    WINDOWPLACEMENT Placement() const {
        WINDOWPLACEMENT p = {};
        p.length = sizeof p;
        ::GetWindowPlacement(Handle(), &p);
        return p;
    }
    // Moves the dialog to a known normal rectangle of its own size.
    RECT MoveTo(int x, int y) {
        WINDOWPLACEMENT p = Placement();
        RECT& r = p.rcNormalPosition;
        OffsetRect(&r, x - r.left, y - r.top);
        p.showCmd = SW_SHOWNORMAL;
        ::SetWindowPlacement(Handle(), &p);
        Pump();
        return r;
    }
    void ExpectStored(const RECT& r, DWORD status) {
        Stored s = ReadAll();
        for (bool present : s.present)
            ASSERT_TRUE(present);
        EXPECT_EQ(static_cast<LONG>(s.value[kLeft]), r.left);
        EXPECT_EQ(static_cast<LONG>(s.value[kTop]), r.top);
        EXPECT_EQ(static_cast<LONG>(s.value[kRight]), r.right);
        EXPECT_EQ(static_cast<LONG>(s.value[kBottom]), r.bottom);
        EXPECT_EQ(s.value[kStatus], status);
    }
    void Store(const RECT& r, DWORD status) {
        WriteSetting(ValueName(kLeft), static_cast<DWORD>(r.left));
        WriteSetting(ValueName(kTop), static_cast<DWORD>(r.top));
        WriteSetting(ValueName(kRight), static_cast<DWORD>(r.right));
        WriteSetting(ValueName(kBottom), static_cast<DWORD>(r.bottom));
        WriteSetting(ValueName(kFlags), 0);
        WriteSetting(ValueName(kStatus), status);
    }
    void PressKey(HWND target, WPARAM key) {
        ::PostMessageA(target, WM_KEYDOWN, key, 1);
        ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        Pump();
    }
};

TEST_F(PlacementTest, EveryWayOfClosingStoresThePlacement) {
    struct Way {
        const char* name;
        INT_PTR result;
        void (*close)(PlacementTest&);
    } ways[] = {
        {"Close button", IDCANCEL, [](PlacementTest& t) { t.Click(IDCANCEL); }},
        {"Escape", IDCANCEL,
         [](PlacementTest& t) { t.PressKey(t.Item(IDC_PRESET_LIST), VK_ESCAPE); }},
        {"Enter in a list box", IDOK,
         [](PlacementTest& t) {
             ::SetFocus(t.Item(IDC_EFFECT_LIST));
             t.PressKey(t.Item(IDC_EFFECT_LIST), VK_RETURN);
         }},
        {"close box", IDCANCEL,
         [](PlacementTest& t) { ::SendMessageA(t.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    int x = 30;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        WipeSettings();
        Open();
        const RECT placed = MoveTo(x, x + 5);
        way.close(*this);
        Pump();
        EXPECT_EQ(m_dialog->m_hWnd, nullptr);
        EXPECT_EQ(m_dialog->GetResult(), way.result);
        ExpectStored(placed, SW_SHOWNORMAL);
        x += 20;
    }
}

TEST_F(PlacementTest, ARestartRestoresNegativeCoordinatesAndTheSize) {
    Open();
    WINDOWPLACEMENT first = Placement();
    const RECT load = ChildRect(Handle(), IDC_LOAD);
    Close();
    // Left of and above the screen, 100 pixels wider and 50 taller than the template.
    RECT wanted = first.rcNormalPosition;
    OffsetRect(&wanted, -8 - wanted.left, -20 - wanted.top);
    wanted.right += 100;
    wanted.bottom += 50;
    Store(wanted, SW_SHOWNORMAL);
    DWORD raw = 0;
    ASSERT_TRUE(ReadSetting(ValueName(kLeft), raw));
    EXPECT_EQ(raw, 4294967288u); // -8, bit for bit

    Open();
    RECT restored = Placement().rcNormalPosition;
    EXPECT_TRUE(::EqualRect(&restored, &wanted));
    EXPECT_TRUE(::IsWindowVisible(Handle()));
    // The controls already stand where the larger size puts them.
    EXPECT_EQ(ChildRect(Handle(), IDC_LOAD).left, load.left + 100);
    Close();
    ExpectStored(wanted, SW_SHOWNORMAL);
}

TEST_F(PlacementTest, ADialogClosedMinimisedStartsMinimised) {
    Open();
    const RECT placed = MoveTo(50, 60);
    const RECT close = ChildRect(Handle(), IDCANCEL);
    ::ShowWindow(Handle(), SW_MINIMIZE);
    Pump();
    Close();
    ExpectStored(placed, SW_SHOWMINIMIZED);

    Open();
    EXPECT_TRUE(::IsIconic(Handle()));
    RECT normal = Placement().rcNormalPosition;
    EXPECT_TRUE(::EqualRect(&normal, &placed));
    ::ShowWindow(Handle(), SW_RESTORE);
    Pump();
    RECT window;
    ::GetWindowRect(Handle(), &window);
    EXPECT_TRUE(::EqualRect(&window, &placed));
    RECT closeAfter = ChildRect(Handle(), IDCANCEL);
    EXPECT_TRUE(::EqualRect(&closeAfter, &close));
}

TEST_F(PlacementTest, MissingValuesKeepTheSystemsEdgesAndShowTheDialog) {
    Open();
    const RECT system = Placement().rcNormalPosition;
    EXPECT_TRUE(::IsWindowVisible(Handle()));
    Close();
    WipeSettings();
    WriteSetting(ValueName(kLeft), static_cast<DWORD>(system.left - 13));
    WriteSetting(ValueName(kBottom), static_cast<DWORD>(system.bottom + 7));

    Open();
    const RECT restored = Placement().rcNormalPosition;
    EXPECT_EQ(restored.left, system.left - 13);
    EXPECT_EQ(restored.top, system.top);
    EXPECT_EQ(restored.right, system.right);
    EXPECT_EQ(restored.bottom, system.bottom + 7);
    // Without "_Flags" and "_Status" the show state is 0: hidden at the restore, then shown
    // in the normal state, neither minimised nor maximised.
    EXPECT_TRUE(::IsWindowVisible(Handle()));
    EXPECT_FALSE(::IsIconic(Handle()));
    EXPECT_FALSE(::IsZoomed(Handle()));
}

} // namespace
