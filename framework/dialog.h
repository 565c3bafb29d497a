// The dialog base class: a window created from a dialog template whose messages are routed
// through message tables. A table binds a window message, or a command id together with a
// notification code, to a member handler; a message that no table of the class or of its
// bases lists goes to the default processing of the dialog manager.
#pragma once

#include "window.h"

#include <vector>

class Dialog;

typedef LRESULT (*MessageCall)(Dialog& dialog, WPARAM wParam, LPARAM lParam);

struct MessageEntry {
    UINT message;     // window message; WM_COMMAND for commands and control notifications
    UINT code;        // notification code of a WM_COMMAND entry (BN_CLICKED is 0)
    UINT id;          // command or control id of a WM_COMMAND entry
    MessageCall call; // null ends a table
};

struct MessageTable {
    const MessageTable* base; // the base class's table, null for the root
    const MessageEntry* entries;
};

// Adapters from the entry's uniform call to a member handler.
template <class D, void (D::*Handler)()>
LRESULT CallCommandHandler(Dialog& dialog, WPARAM, LPARAM) {
    (static_cast<D&>(dialog).*Handler)();
    return 0;
}
template <class D, LRESULT (D::*Handler)(WPARAM, LPARAM)>
LRESULT CallMessageHandler(Dialog& dialog, WPARAM wParam, LPARAM lParam) {
    return (static_cast<D&>(dialog).*Handler)(wParam, lParam);
}

// In a class body: declares the class's table and its accessor.
#define DECLARE_MESSAGE_TABLE()                                                                    \
protected:                                                                                         \
    static const MessageEntry kMessageEntries[];                                                   \
    static const MessageTable kMessageTable;                                                       \
    const MessageTable* GetMessageTable() const override {                                         \
        return &kMessageTable;                                                                     \
    }

// In a source file: BEGIN_MESSAGE_TABLE(Class) entries... END_MESSAGE_TABLE(Class, Base); the
// first matching entry wins, and the base's table is searched after the class's own.
#define BEGIN_MESSAGE_TABLE(Class) const MessageEntry Class::kMessageEntries[] = {
#define ON_MESSAGE_HANDLER(message, Class, handler)                                                \
    {message, 0, 0, &CallMessageHandler<Class, &Class::handler>},
#define ON_COMMAND_HANDLER(id, Class, handler)                                                     \
    {WM_COMMAND, 0, id, &CallCommandHandler<Class, &Class::handler>},
#define ON_NOTIFY_HANDLER(code, id, Class, handler)                                                \
    {WM_COMMAND, code, id, &CallCommandHandler<Class, &Class::handler>},
#define END_MESSAGE_TABLE(Class, Base)                                                             \
    { 0, 0, 0, nullptr }                                                                           \
    }                                                                                              \
    ;                                                                                              \
    const MessageTable Class::kMessageTable = {&Base::kMessageTable, Class::kMessageEntries};
// The table of a class without a base table.
#define END_ROOT_MESSAGE_TABLE(Class)                                                              \
    { 0, 0, 0, nullptr }                                                                           \
    }                                                                                              \
    ;                                                                                              \
    const MessageTable Class::kMessageTable = {nullptr, Class::kMessageEntries};

class Dialog : public Window {
public:
    Dialog(UINT templateId, Window* parent = nullptr);
    ~Dialog() override;

    // Runs the dialog modally: creates its window, disables the owner and runs a message loop
    // of its own until the dialog ends, then destroys the window. Returns the result it ended
    // with, or -1 when the window could not be created.
    INT_PTR DoModal();
    // Creates the dialog modelessly (tests drive it this way); FALSE on failure.
    BOOL Create(Window* parent = nullptr);

    // The attached control object of a dialog item, or null when none is attached.
    Window* GetDlgItem(int id) const;
    void AttachItem(int id, Window* control);

    UINT GetTemplateId() const { return m_templateId; }
    // The result that ended the dialog (IDOK, IDCANCEL), or 0 while it runs.
    INT_PTR GetResult() const { return m_result; }

    void MapDialogRect(RECT* rect) const { ::MapDialogRect(m_hWnd, rect); }

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Called when the window is gone (after WM_NCDESTROY); the object itself stays.
    virtual void PostNcDestroy();
    void EndDialog(INT_PTR result);

    // Default processing of the message being handled.
    LRESULT Default();
    virtual const MessageTable* GetMessageTable() const { return &kMessageTable; }
    LRESULT OnHelpKey(WPARAM wParam, LPARAM lParam);
    void OnHelpCommand();

    static const MessageEntry kMessageEntries[];
    static const MessageTable kMessageTable;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND ParentHandle(Window* parent) const;
    void RunModalLoop();

    UINT m_templateId;
    Window* m_pParent;
    bool m_modal = false;
    bool m_continueModal = false; // while DoModal's loop runs
    INT_PTR m_result = 0;
    WNDPROC m_defaultProc = nullptr;
    CurrentMessage m_current = {0, 0, 0};
    struct AttachedItem {
        int id;
        Window* control;
    };
    std::vector<AttachedItem> m_items;
};
