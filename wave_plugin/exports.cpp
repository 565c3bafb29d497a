// The library's three exports (named in wave.def at ordinals 2, 3 and 4) and its entry point.
#include "wave_plugin.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

extern "C" {

std::uint32_t QueryPluginType(char* type) {
    static const char kType[] = "FileFilter";
    if (type != nullptr)
        std::memcpy(type, kType, sizeof kType);
    return sizeof kType;
}

FilePlugin* ReturnPluginObject() {
    return WavePlugin::Create();
}

void DeletePluginObject(FilePlugin* plugin) {
    if (plugin != nullptr)
        plugin->Destroy(1);
}

#if defined(_WIN32)
// Nothing at start-up can fail: the library keeps no process-wide state.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
#endif

} // extern "C"
