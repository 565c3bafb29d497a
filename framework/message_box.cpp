#include "message_box.h"

#include "application.h"

int AppMessageBox(const char* text, UINT style) {
    std::string caption = GetApplicationName();
    return ::MessageBoxA(MainWindowHandle(), text, caption.c_str(), style);
}
