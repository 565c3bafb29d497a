// The window-placement memory of RegistryKey, with a plain window and the real registry.
#include "scratch_registry.h"

#include <cstring>

using namespace test_support;

namespace {

class PlacementTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        window =
            CreateWindowExA(0, "STATIC", "Placement Test Window", WS_OVERLAPPEDWINDOW, 100, 100,
                            300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window);
    }
    void TearDown() override {
        DestroyWindow(window);
        ScratchRegistry::TearDown();
    }
    WINDOWPLACEMENT Placement() {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        GetWindowPlacement(window, &placement);
        return placement;
    }
    void MoveTo(LONG left, LONG top, LONG right, LONG bottom) {
        WINDOWPLACEMENT placement = Placement();
        placement.rcNormalPosition = RECT{left, top, right, bottom};
        placement.showCmd = SW_SHOWNORMAL;
        SetWindowPlacement(window, &placement);
    }
    DWORD Stored(const char* name) {
        StoredValue value;
        if (!GetRaw(kSettingsKey, name, value) || value.type != REG_DWORD)
            return 0xFFFF0000u;
        DWORD number;
        std::memcpy(&number, value.data.data(), 4);
        return number;
    }
    HWND window = nullptr;
};

TEST_F(PlacementTest, NegativeCoordinatesSurviveSaveAndRestore) {
    MoveTo(-8, -30, 400, 300);
    const WINDOWPLACEMENT saved = Placement();
    ASSERT_EQ(-8, saved.rcNormalPosition.left);
    RegistryKey key;
    key.Open(kSettingsKey);
    key.SavePlacement(window, "Placement Test Window");
    key.Close();
    EXPECT_EQ(4294967288u, Stored("Placement_Test_Window_Left"));
    EXPECT_EQ(static_cast<DWORD>(-30), Stored("Placement_Test_Window_Top"));
    EXPECT_EQ(400u, Stored("Placement_Test_Window_Right"));
    EXPECT_EQ(300u, Stored("Placement_Test_Window_Bottom"));
    EXPECT_EQ(saved.flags, Stored("Placement_Test_Window_Flags"));
    EXPECT_EQ(saved.showCmd, Stored("Placement_Test_Window_Status"));

    MoveTo(10, 20, 110, 120);
    key.Open(kSettingsKey);
    key.RestorePlacement(window, "Placement Test Window");
    key.Close();
    const WINDOWPLACEMENT restored = Placement();
    EXPECT_EQ(-8, restored.rcNormalPosition.left);
    EXPECT_EQ(-30, restored.rcNormalPosition.top);
    EXPECT_EQ(400, restored.rcNormalPosition.right);
    EXPECT_EQ(300, restored.rcNormalPosition.bottom);
}

TEST_F(PlacementTest, MissingEdgesKeepTheirPlace) {
    MoveTo(50, 60, 350, 260);
    SetDwordValue(kSettingsKey, "Placement_Test_Window_Left", 70);
    SetDwordValue(kSettingsKey, "Placement_Test_Window_Bottom", 300);
    RegistryKey key;
    key.Open(kSettingsKey);
    key.RestorePlacement(window, "Placement Test Window");
    key.Close();
    const RECT rect = Placement().rcNormalPosition;
    EXPECT_EQ(70, rect.left);
    EXPECT_EQ(60, rect.top);
    EXPECT_EQ(350, rect.right);
    EXPECT_EQ(300, rect.bottom);
}

} // namespace
