#include "dialog.h"

#include "application.h"

BEGIN_MESSAGE_TABLE(Dialog)
ON_COMMAND_HANDLER(IDOK, Dialog, OnOK)
ON_COMMAND_HANDLER(IDCANCEL, Dialog, OnCancel)
ON_COMMAND_HANDLER(kHelpCommandId, Dialog, OnHelpCommand)
ON_MESSAGE_HANDLER(WM_HELP, Dialog, OnHelpKey)
END_ROOT_MESSAGE_TABLE(Dialog)

Dialog::Dialog(UINT templateId, Window* parent) : m_templateId(templateId), m_pParent(parent) {}

Dialog::~Dialog() {
    if (m_hWnd == nullptr)
        return;
    // A window that outlives its dialog object: by now the derived parts and their control
    // members are gone, so the window is unhooked from the object first. It then goes through
    // the dialog manager's own processing alone, and nothing is written into the controls.
    HWND window = m_hWnd;
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_defaultProc));
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    m_items.clear();
    m_hWnd = nullptr;
    ::DestroyWindow(window);
}

HWND Dialog::ParentHandle(Window* parent) const {
    if (parent != nullptr)
        return parent->m_hWnd;
    // Without a parent of its own a dialog is owned by the application's main window, unless
    // it is that window.
    HWND main = MainWindowHandle();
    return main != m_hWnd ? main : nullptr;
}

INT_PTR Dialog::DoModal() {
    // The window is created as a modeless one and run by the loop below, with its owner
    // disabled meanwhile. The dialog manager's own modal run would show a visible template in
    // its normal state after initialisation and so undo a show state that the initialisation
    // gave the window (a restored minimised or maximised placement).
    HWND owner = ParentHandle(m_pParent);
    const bool enableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (enableOwner)
        ::EnableWindow(owner, FALSE);
    m_modal = true;
    m_continueModal = true;
    m_result = 0;
    INT_PTR result = -1;
    HWND window = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId),
                                       owner, DialogProc, reinterpret_cast<LPARAM>(this));
    if (window != nullptr) {
        RunModalLoop();
        result = m_result;
        // Hidden before the owner is enabled again, so that the owner is the one activated.
        if (m_hWnd != nullptr)
            ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE |
                               SWP_NOZORDER);
    }
    if (enableOwner)
        ::EnableWindow(owner, TRUE);
    if (owner != nullptr && m_hWnd != nullptr && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(owner);
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    m_modal = false;
    m_continueModal = false;
    return result;
}

void Dialog::RunModalLoop() {
    // A template without the visible style is shown, in its normal state, once the first
    // messages are handled; a window that its initialisation showed keeps its state.
    bool showWhenIdle = (::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_VISIBLE) == 0;
    MSG msg;
    while (m_continueModal && m_hWnd != nullptr) {
        if (showWhenIdle && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            ::UpdateWindow(m_hWnd);
            showWhenIdle = false;
        }
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The program is asked to end: the outer loop, if any, gets the request too.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (m_hWnd != nullptr && ::IsDialogMessageA(m_hWnd, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

BOOL Dialog::Create(Window* parent) {
    if (parent != nullptr)
        m_pParent = parent;
    m_modal = false;
    m_result = 0;
    HWND window =
        ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId),
                             ParentHandle(m_pParent), DialogProc, reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

Window* Dialog::GetDlgItem(int id) const {
    for (const AttachedItem& item : m_items)
        if (item.id == id)
            return item.control;
    return nullptr;
}

void Dialog::AttachItem(int id, Window* control) {
    for (AttachedItem& item : m_items)
        if (item.id == id) {
            item.control = control;
            return;
        }
    m_items.push_back({id, control});
}

BOOL Dialog::OnInitDialog() {
    return TRUE;
}

void Dialog::OnOK() {
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void Dialog::PostNcDestroy() {}

void Dialog::EndDialog(INT_PTR result) {
    m_result = result;
    if (m_modal) {
        // The loop of DoModal ends when it next looks; the empty message makes sure it looks.
        m_continueModal = false;
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    } else {
        ::DestroyWindow(m_hWnd);
    }
}

LRESULT Dialog::Default() {
    return ::CallWindowProcA(m_defaultProc, m_hWnd, m_current.message, m_current.wParam,
                             m_current.lParam);
}

// F1 asks the application for help, the way the help command does.
LRESULT Dialog::OnHelpKey(WPARAM, LPARAM) {
    OnHelpCommand();
    return TRUE;
}

void Dialog::OnHelpCommand() {
    if (Application* app = Application::Current())
        app->OnCommand(kHelpCommandId);
}

LRESULT Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentMessage saved = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    bool handled = false;
    for (const MessageTable* table = GetMessageTable(); table && !handled; table = table->base) {
        for (const MessageEntry* entry = table->entries; entry->call != nullptr; ++entry) {
            if (entry->message != message)
                continue;
            if (message == WM_COMMAND &&
                (entry->id != LOWORD(wParam) || entry->code != HIWORD(wParam)))
                continue;
            result = entry->call(*this, wParam, lParam);
            handled = true;
            break;
        }
    }
    if (!handled)
        result = Default();
    m_current = saved;
    return result;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return FALSE;
    // From here on every message of the dialog passes through its tables first; the dialog
    // manager's own window procedure is the default processing.
    Dialog* self = reinterpret_cast<Dialog*>(lParam);
    self->m_hWnd = window;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->m_defaultProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
    return self->OnInitDialog();
}

LRESULT CALLBACK Dialog::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC defaultProc = self->m_defaultProc;
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defaultProc));
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        LRESULT result = ::CallWindowProcA(defaultProc, window, message, wParam, lParam);
        self->m_hWnd = nullptr;
        for (AttachedItem& item : self->m_items)
            item.control->m_hWnd = nullptr;
        self->m_items.clear();
        self->PostNcDestroy();
        return result;
    }
    return self->Dispatch(message, wParam, lParam);
}
