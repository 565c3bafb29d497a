#include "effect_preset_app.h"

#include "effect_preset_dialog.h"

BOOL EffectPresetApp::InitInstance() {
    EnableControlContainer();
    Enable3dControls();
    EffectPresetDialog dialog(nullptr);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // No message loop of our own: the program ends with the dialog.
    return FALSE;
}
