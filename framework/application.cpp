#include "application.h"

#include "system_chars.h"

Application* Application::s_current = nullptr;

static std::string ProgramFileTitle() {
    char path[MAX_PATH + 1] = {0};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    path[length < MAX_PATH ? length : MAX_PATH] = '\0';
    std::string name(path);
    const size_t slash = FindLastOf(name.data(), name.size(), "\\/", SystemLeadByte);
    if (slash != name.size())
        name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

Application::Application(const char* appName) {
    if (appName != nullptr)
        m_appName = appName;
    s_current = this;
}

Application::~Application() {
    if (s_current == this)
        s_current = nullptr;
}

BOOL Application::OnCommand(UINT id) {
    if (id == kHelpCommandId) {
        OnHelp();
        return TRUE;
    }
    return FALSE;
}

std::string GetApplicationName() {
    Application* app = Application::Current();
    if (app != nullptr && !app->m_appName.empty())
        return app->m_appName;
    return ProgramFileTitle();
}

HWND MainWindowHandle() {
    Application* app = Application::Current();
    if (app == nullptr || app->m_pMainWnd == nullptr)
        return nullptr;
    return app->m_pMainWnd->m_hWnd;
}

int RunApplication() {
    Application* app = Application::Current();
    if (app == nullptr)
        return 1;
    if (app->m_appName.empty())
        app->m_appName = ProgramFileTitle();
    app->InitInstance();
    return 0;
}
