// The application object of Trellisan: runs the main dialog and ends with it.
#pragma once

#include "application.h"

class EffectPresetApp : public Application {
public:
    EffectPresetApp() : Application(nullptr) {}
    BOOL InitInstance() override;
};
