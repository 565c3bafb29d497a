// A dialog whose registered controls follow its edges when it is resized, that keeps a
// minimum tracking size, and that remembers its placement in the settings key.
#pragma once

#include "anchor_layout.h"
#include "dialog.h"
#include "registry_key.h"

#include <vector>

// The redraw byte of a registration.
constexpr BYTE kLayoutPaintsItself = 0;    // not invalidated when moved, cut out of the erase
constexpr BYTE kLayoutRedrawWhenMoved = 1; // invalidated when moved, erased beneath

// One registered control.
struct LayoutItem {
    RECT designRect;   // its client area at registration, in the dialog's client coordinates
    DWORD anchorFlags; // AnchorFlags
    int controlId;
    Window* control; // a member of the derived dialog, not owned here
    BYTE redraw;     // kLayoutPaintsItself or kLayoutRedrawWhenMoved
};

class ResizableDialog : public Dialog {
public:
    ResizableDialog(UINT templateId, Window* parent);
    ~ResizableDialog() override;

    // Attaches the control object to the dialog item and registers it; returns the control,
    // or null when no record could be had.
    Window* AddControl(int controlId, DWORD anchorFlags, Window* control, BYTE redraw);
    // The smallest client size, in dialog units; the frame is added to it.
    void SetMinTrackSize(int width, int height);
    // The client size, in dialog units, that the design rectangles belong to.
    void SetReferenceSize(int width, int height);
    // Window size minus client size, measured on the first call only.
    SIZE GetFrameExtra();
    // One layout pass for the given client rectangle.
    void LayoutControls(const RECT& client);

    const std::vector<LayoutItem>& GetLayoutItems() const { return m_items; }
    RECT GetMinTrackRect() const { return m_minTrackRect; }
    RECT GetReferenceRect() const { return m_referenceRect; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;

    LRESULT OnSize(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnSizing(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_TABLE()

private:
    // Opens the settings key, restores or saves the placement with the window's title, and
    // closes the key again.
    void UsePlacement(void (RegistryKey::*use)(HWND window, std::string title));
    RECT ItemWindowRect(const LayoutItem& item) const;

    std::vector<LayoutItem> m_items; // in registration order
    bool m_minSizeSet = false;
    RECT m_minTrackRect = {0, 0, 0, 0};
    RECT m_referenceRect = {0, 0, 0, 0};
    SIZE m_frameExtra = {0, 0};
    bool m_frameExtraKnown = false;
};
