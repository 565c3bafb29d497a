// The application object: one global instance, whose InitInstance the program's entry calls.
#pragma once

#include "window.h"

#include <string>

// The standard help command.
constexpr UINT kHelpCommandId = 0xE146;

class Application {
public:
    // A null name makes the program file's name, without its extension, the name.
    explicit Application(const char* appName = nullptr);
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Called once by RunApplication; FALSE ends the program without a message loop.
    virtual BOOL InitInstance() { return FALSE; }
    // Routes a command that no window handled; TRUE when it was handled.
    virtual BOOL OnCommand(UINT id);
    // The help command. No help content ships with this program, so it shows nothing.
    virtual void OnHelp() {}

    // Control-container and three-dimensional-control set-up: the system's dialogs already
    // draw their controls this way and no dialog here hosts embedded controls, so both are
    // intentionally empty. Start-up still calls both, first thing, so that its steps stay
    // those of every program built on this layer.
    void EnableControlContainer() {}
    void Enable3dControls() {}

    static Application* Current() { return s_current; }

    std::string m_appName;
    Window* m_pMainWnd = nullptr;

private:
    static Application* s_current;
};

// The caption of the application's message boxes: the application's name, or the program
// file's name without extension when no application object exists.
std::string GetApplicationName();

// The window of the application's main window object, the owner of the application's boxes
// and dialogs; null when there is no application object, no main window or no window yet.
HWND MainWindowHandle();

// The program's entry: calls InitInstance of the application object and returns the exit code.
int RunApplication();
