#include "window.h"

#include "dialog.h"

#include <vector>

void Window::ClientToScreen(RECT* rect) const {
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(rect), 2);
}

void Window::ScreenToClient(RECT* rect) const {
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

std::string Window::GetWindowText() const {
    int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0)
        return std::string();
    std::vector<char> text(length + 1, '\0');
    int got = ::GetWindowTextA(m_hWnd, text.data(), length + 1);
    return std::string(text.data(), got > 0 ? got : 0);
}

BOOL Window::SubclassDlgItem(int id, Dialog* parent) {
    HWND item = ::GetDlgItem(parent->m_hWnd, id);
    if (item == nullptr)
        return FALSE;
    m_hWnd = item;
    parent->AttachItem(id, this);
    return TRUE;
}

std::string ListBox::GetText(int index) const {
    LRESULT length = SendMessage(LB_GETTEXTLEN, index);
    if (length == LB_ERR || length < 0)
        return std::string();
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    LRESULT got = SendMessage(LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    if (got == LB_ERR || got < 0)
        return std::string();
    text[static_cast<size_t>(got) < text.size() ? got : length] = '\0';
    return std::string(text.data());
}
