// The program's entry: the one application object and the start-up that runs it.
#include "effect_preset_app.h"

static EffectPresetApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunApplication();
}
