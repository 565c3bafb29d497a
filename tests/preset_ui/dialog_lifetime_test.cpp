// The main dialog's window over its lifetime: a modeless dialog destroyed with its window still
// open, and the window while it is minimised.
#include "gui_test_support.h"

#include <cstring>
#include <new>

namespace {

// Destroying a dialog object whose window is still open (a modeless dialog, as the tests
// create it) closes the window without writing into the control objects, which the derived
// dialog's destruction has already ended.
TEST_F(MainDialogTest, DestroyingAnOpenDialogWritesNothingIntoItsEndedControls) {
    AddPreset("Reverb", "Hall");
    alignas(TestDialog) unsigned char storage[sizeof(TestDialog)];
    TestDialog* dialog = new (storage) TestDialog();
    dialog->SetPickers(&m_pickers);
    ASSERT_TRUE(dialog->Create());
    const HWND window = dialog->m_hWnd;

    // Where each attached control keeps its window handle, inside the dialog object.
    struct Slot {
        int id;
        std::size_t offset;
        HWND handle;
    };
    std::vector<Slot> slots;
    for (int id : {IDC_LOAD, IDC_SAVE_TO, IDC_DELETE, IDC_BACKUP_ALL, IDC_ABOUT, IDCANCEL,
                   IDC_EFFECT_LIST, IDC_PRESET_LIST, IDC_PRESET_LABEL}) {
        Window* control = dialog->GetDlgItem(id);
        ASSERT_NE(control, nullptr) << id;
        const auto* field = reinterpret_cast<const unsigned char*>(&control->m_hWnd);
        ASSERT_TRUE(field >= storage && field < storage + sizeof storage) << id;
        slots.push_back({id, static_cast<std::size_t>(field - storage), control->m_hWnd});
    }

    dialog->~TestDialog();
    EXPECT_FALSE(::IsWindow(window));
    for (const Slot& slot : slots) {
        HWND left = nullptr;
        std::memcpy(&left, storage + slot.offset, sizeof left);
        EXPECT_EQ(left, slot.handle) << "control " << slot.id << " was written after its end";
    }
}

// Minimised, the dialog paints its icon and is then up to date; dragged, it shows the same icon.
TEST_F(MainDialogTest, MinimisedTheDialogPaintsAndDragsItsIcon) {
    Open();
    const LRESULT icon = ::SendMessageA(Handle(), WM_GETICON, ICON_BIG, 0);
    ASSERT_NE(icon, 0);
    EXPECT_EQ(::SendMessageA(Handle(), WM_QUERYDRAGICON, 0, 0), icon);

    ::ShowWindow(Handle(), SW_MINIMIZE);
    Pump();
    ASSERT_TRUE(::IsIconic(Handle()));
    ::InvalidateRect(Handle(), nullptr, TRUE);
    ::UpdateWindow(Handle());
    EXPECT_FALSE(::GetUpdateRect(Handle(), nullptr, FALSE));
    MSG msg;
    EXPECT_FALSE(::PeekMessageA(&msg, Handle(), WM_PAINT, WM_PAINT, PM_NOREMOVE));
    EXPECT_EQ(::SendMessageA(Handle(), WM_QUERYDRAGICON, 0, 0), icon);
}

} // namespace
