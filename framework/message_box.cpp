#include "message_box.h"

#include "application.h"

int AppMessageBox(const char* text, UINT style) {
    HWND owner = nullptr;
    Application* app = Application::Current();
    if (app != nullptr && app->m_pMainWnd != nullptr)
        owner = app->m_pMainWnd->m_hWnd;
    std::string caption = GetApplicationName();
    return ::MessageBoxA(owner, text, caption.c_str(), style);
}
