#include "resizable_dialog.h"

#include <new>

BEGIN_MESSAGE_TABLE(ResizableDialog)
ON_MESSAGE_HANDLER(WM_SIZE, ResizableDialog, OnSize)
ON_MESSAGE_HANDLER(WM_GETMINMAXINFO, ResizableDialog, OnGetMinMaxInfo)
ON_MESSAGE_HANDLER(WM_ERASEBKGND, ResizableDialog, OnEraseBkgnd)
ON_MESSAGE_HANDLER(WM_CLOSE, ResizableDialog, OnClose)
ON_MESSAGE_HANDLER(WM_SIZING, ResizableDialog, OnSizing)
END_MESSAGE_TABLE(ResizableDialog, Dialog)

namespace {

LayoutRect ToLayout(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

RECT ToRect(const LayoutRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

ResizableDialog::ResizableDialog(UINT templateId, Window* parent) : Dialog(templateId, parent) {}

ResizableDialog::~ResizableDialog() = default;

Window* ResizableDialog::AddControl(int controlId, DWORD anchorFlags, Window* control,
                                    BYTE redraw) {
    // The record's room comes first: without it the control is neither attached nor
    // registered.
    try {
        m_items.reserve(m_items.size() + 1);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    LayoutItem item;
    item.anchorFlags = anchorFlags;
    item.redraw = redraw;
    item.controlId = controlId;
    item.control = control;
    control->SubclassDlgItem(controlId, this);

    RECT design = {0, 0, 0, 0};
    control->GetClientRect(&design);
    control->ClientToScreen(&design);
    ScreenToClient(&design);
    item.designRect = design;

    m_items.push_back(item);
    return control;
}

SIZE ResizableDialog::GetFrameExtra() {
    if (!m_frameExtraKnown) {
        RECT window, client;
        GetWindowRect(&window);
        GetClientRect(&client);
        m_frameExtra.cx = (window.right - window.left) - (client.right - client.left);
        m_frameExtra.cy = (window.bottom - window.top) - (client.bottom - client.top);
        m_frameExtraKnown = true;
    }
    return m_frameExtra;
}

void ResizableDialog::SetMinTrackSize(int width, int height) {
    m_minSizeSet = true;
    m_minTrackRect = {0, 0, width, height};
    MapDialogRect(&m_minTrackRect);
    SIZE extra = GetFrameExtra();
    m_minTrackRect.right += extra.cx;
    m_minTrackRect.bottom += extra.cy;
}

void ResizableDialog::SetReferenceSize(int width, int height) {
    m_referenceRect = {0, 0, width, height};
    MapDialogRect(&m_referenceRect);
}

RECT ResizableDialog::ItemWindowRect(const LayoutItem& item) const {
    RECT rect = {0, 0, 0, 0};
    item.control->GetWindowRect(&rect);
    ScreenToClient(&rect);
    return rect;
}

void ResizableDialog::LayoutControls(const RECT& client) {
    if (m_items.empty())
        return;

    struct Move {
        HWND window;
        RECT rect;
    };
    std::vector<Move> moves;
    for (const LayoutItem& item : m_items) {
        if (item.control->m_hWnd == nullptr)
            continue;
        RECT current = ItemWindowRect(item);
        RECT next =
            ToRect(ComputeLayout(ToLayout(item.designRect), ToLayout(current), ToLayout(client),
                                 ToLayout(m_referenceRect), item.anchorFlags));
        if (::EqualRect(&next, &current))
            continue;
        if (item.redraw == kLayoutRedrawWhenMoved)
            item.control->Invalidate(TRUE);
        moves.push_back({item.control->m_hWnd, next});
    }

    // All moves of a pass go in one batch so the controls move together. Should the system
    // refuse the batch, the remaining controls are moved one by one rather than left behind.
    HDWP batch = ::BeginDeferWindowPos(static_cast<int>(m_items.size()));
    size_t done = 0;
    for (; batch != nullptr && done < moves.size(); ++done) {
        const Move& m = moves[done];
        batch =
            ::DeferWindowPos(batch, m.window, nullptr, m.rect.left, m.rect.top,
                             m.rect.right - m.rect.left, m.rect.bottom - m.rect.top, SWP_NOZORDER);
        if (batch == nullptr)
            break;
    }
    if (batch != nullptr)
        ::EndDeferWindowPos(batch);
    for (; done < moves.size(); ++done) {
        const Move& m = moves[done];
        ::SetWindowPos(m.window, nullptr, m.rect.left, m.rect.top, m.rect.right - m.rect.left,
                       m.rect.bottom - m.rect.top, SWP_NOZORDER);
    }
}

LRESULT ResizableDialog::OnSize(WPARAM, LPARAM) {
    LRESULT result = Default();
    RECT client;
    GetClientRect(&client);
    LayoutControls(client);
    return result;
}

LRESULT ResizableDialog::OnGetMinMaxInfo(WPARAM, LPARAM lParam) {
    if (m_minSizeSet) {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = m_minTrackRect.right - m_minTrackRect.left;
        info->ptMinTrackSize.y = m_minTrackRect.bottom - m_minTrackRect.top;
    }
    return 0;
}

LRESULT ResizableDialog::OnEraseBkgnd(WPARAM wParam, LPARAM) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    for (const LayoutItem& item : m_items) {
        if (item.redraw != kLayoutPaintsItself || item.control->m_hWnd == nullptr)
            continue;
        RECT rect = ItemWindowRect(item);
        ::ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    }
    return Default();
}

LRESULT ResizableDialog::OnClose(WPARAM, LPARAM) {
    return Default();
}

LRESULT ResizableDialog::OnSizing(WPARAM, LPARAM) {
    return Default();
}

// The records go with the window.
void ResizableDialog::PostNcDestroy() {
    m_items.clear();
}

BOOL ResizableDialog::OnInitDialog() {
    UsePlacement(&RegistryKey::RestorePlacement);
    RECT client;
    GetClientRect(&client);
    LayoutControls(client);
    return Dialog::OnInitDialog();
}

void ResizableDialog::UsePlacement(void (RegistryKey::*use)(HWND window, std::string title)) {
    std::string title = GetWindowText();
    RegistryKey key;
    key.Open(kSettingsKey);
    (key.*use)(m_hWnd, title);
    key.Close();
}

void ResizableDialog::OnOK() {
    UsePlacement(&RegistryKey::SavePlacement);
    Dialog::OnOK();
}

void ResizableDialog::OnCancel() {
    UsePlacement(&RegistryKey::SavePlacement);
    Dialog::OnCancel();
}
