// RegistryKey: one key below HKEY_CURRENT_USER, held for one operation, and the key texts of
// the preset tree.
#pragma once

#include "registry_api.h"

#include <functional>
#include <string>

constexpr const char* kSettingsKey = "Software\\Vantor\\Kelvidrome2\\Settings";
constexpr const char* kEffectsRoot = "Software\\Vantor\\Kelvidrome2\\Effects";
constexpr const char* kEffectKeyFormat = "Software\\Vantor\\Kelvidrome2\\Effects\\%s";
constexpr const char* kPresetKeyFormat = "Software\\Vantor\\Kelvidrome2\\Effects\\%s\\%s";

// The effect key and preset key paths for the given names.
std::string EffectKeyPath(const char* effect);
std::string PresetKeyPath(const char* effect, const char* preset);

// Name buffers for key and value names, terminator included.
constexpr DWORD kNameBufferChars = 260;

class RegistryKey {
public:
    RegistryKey();
    // The code that opens a key closes it; the destructor releases nothing.
    virtual ~RegistryKey();

    // Opens the path below HKEY_CURRENT_USER with full access, or creates it (and every
    // missing key above it) when it cannot be opened. Does not close a previous handle.
    LONG Open(const char* path);
    void Close();
    LONG SetDword(const char* name, DWORD value);
    LONG SetString(const char* name, const char* text);
    // Stores the first four bytes of the named value in result, or the fallback when the
    // value is missing, longer than 32 bytes, shorter than four bytes or no key is open.
    LONG QueryDword(const char* name, DWORD& result, DWORD fallback);
#ifdef _WIN32
    // Window-placement memory: six DWORD values named after the title with blanks as "_".
    void RestorePlacement(HWND window, std::string title);
    void SavePlacement(HWND window, std::string title);
#endif

    HKEY m_hKey; // null when no key is open
};

// Lists the subkeys of an open key in the registry's order: index from 0, name and class
// buffers of 260 characters, both lengths reset to 260 before every call; ends at the first
// non-zero status. Calls add(name) for each name.
void ListSubkeys(HKEY key, const std::function<void(const char*)>& add);
