// A thin object around a window handle, and the control wrappers that a dialog attaches to
// its items. The objects never own their windows: the dialog manager creates and destroys
// the child windows, the objects only name them.
#pragma once

#include <windows.h>

#include <string>

class Dialog;

class Window {
public:
    Window() = default;
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void ClientToScreen(RECT* rect) const;
    void ScreenToClient(RECT* rect) const;
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    std::string GetWindowText() const;

    // Attaches this object to the dialog's child window with the given id, so that the
    // dialog's GetDlgItem hands back this object. Returns FALSE when the dialog has no such
    // item.
    BOOL SubclassDlgItem(int id, Dialog* parent);

    HWND m_hWnd = nullptr;
};

class Button : public Window {};

class Static : public Window {};

class ListBox : public Window {
public:
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, index)); }
    int GetSelCount() const { return static_cast<int>(SendMessage(LB_GETSELCOUNT)); }
    int GetSelItems(int maxItems, int* indexes) const {
        return static_cast<int>(
            SendMessage(LB_GETSELITEMS, maxItems, reinterpret_cast<LPARAM>(indexes)));
    }
    int SetSel(int index, BOOL select) {
        return static_cast<int>(SendMessage(LB_SETSEL, select, index));
    }
    int AddString(const char* text) {
        return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int DeleteString(int index) { return static_cast<int>(SendMessage(LB_DELETESTRING, index)); }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    // The entry's text; empty when the index names no entry.
    std::string GetText(int index) const;
};
