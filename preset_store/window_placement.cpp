// The window-placement memory of RegistryKey: six DWORD values in the open key.
#include "registry_key.h"

#include <algorithm>

static_assert(sizeof(WINDOWPLACEMENT) == 44, "the Windows 4.0 size of WINDOWPLACEMENT");

namespace {
std::string ValuePrefix(std::string title) {
    std::replace(title.begin(), title.end(), ' ', '_');
    return title;
}
} // namespace

void RegistryKey::RestorePlacement(HWND window, std::string title) {
    const std::string prefix = ValuePrefix(title);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);

    // Edges are stored bit for bit, so negative coordinates come back as they were.
    RECT& rect = placement.rcNormalPosition;
    DWORD value = 0;
    QueryDword((prefix + "_Left").c_str(), value, static_cast<DWORD>(rect.left));
    rect.left = static_cast<LONG>(value);
    QueryDword((prefix + "_Top").c_str(), value, static_cast<DWORD>(rect.top));
    rect.top = static_cast<LONG>(value);
    QueryDword((prefix + "_Right").c_str(), value, static_cast<DWORD>(rect.right));
    rect.right = static_cast<LONG>(value);
    QueryDword((prefix + "_Bottom").c_str(), value, static_cast<DWORD>(rect.bottom));
    rect.bottom = static_cast<LONG>(value);
    QueryDword((prefix + "_Flags").c_str(), value, 0);
    placement.flags = value;
    QueryDword((prefix + "_Status").c_str(), value, 0);
    placement.showCmd = value;
    SetWindowPlacement(window, &placement);
}

void RegistryKey::SavePlacement(HWND window, std::string title) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    const std::string prefix = ValuePrefix(title);
    const RECT& rect = placement.rcNormalPosition;
    SetDword((prefix + "_Left").c_str(), static_cast<DWORD>(rect.left));
    SetDword((prefix + "_Right").c_str(), static_cast<DWORD>(rect.right));
    SetDword((prefix + "_Top").c_str(), static_cast<DWORD>(rect.top));
    SetDword((prefix + "_Bottom").c_str(), static_cast<DWORD>(rect.bottom));
    SetDword((prefix + "_Flags").c_str(), placement.flags);
    SetDword((prefix + "_Status").c_str(), placement.showCmd);
}
