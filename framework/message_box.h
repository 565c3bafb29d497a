// The application's message box: the application name as caption, owned by the main window.
#pragma once

#include <windows.h>

int AppMessageBox(const char* text, UINT style);
