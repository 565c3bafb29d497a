// Readers of Trellisan's windows, shared by the GUI tests, which read them in their own
// process, and the driver, which reads them from another process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The entries of a list box, in list order.
inline std::vector<std::string> ListItems(HWND list) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(list, &owner);
    const bool ours = owner == ::GetCurrentProcessId();
    std::vector<std::string> items;
    const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (length < 0) {
            items.emplace_back();
            continue;
        }
        std::string text(static_cast<size_t>(length) * 2 + 1, '\0');
        if (ours) {
            ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        } else {
            // Across processes the wide form of the message is the one that comes back whole.
            std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
            ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
            ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0],
                                  static_cast<int>(text.size()), nullptr, nullptr);
        }
        items.push_back(text.c_str());
    }
    return items;
}

// The window rectangle of a dialog's item, in the dialog's client coordinates.
inline RECT ChildRect(HWND dialog, int id) {
    RECT rect = {0, 0, 0, 0};
    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
