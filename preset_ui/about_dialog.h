// The About box: a picture, the program's name and version, and an OK button.
#pragma once

#include "dialog.h"
#include "resource.h"

class AboutDialog : public Dialog {
public:
    AboutDialog() : Dialog(IDD_ABOUT_DIALOG, nullptr) {}
};
