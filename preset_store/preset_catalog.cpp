#include "preset_catalog.h"

#include "registry_key.h"

#include <algorithm>

namespace {
int Fold(char c) {
    const int u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
}
} // namespace

bool NameLess(const std::string& a, const std::string& b) {
#ifdef _WIN32
    // The comparison a sorted list box makes, so that listings come in the dialog's order.
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
#else
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Fold(x) < Fold(y); });
#endif
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Fold(x) == Fold(y); });
}

bool ListKeyNames(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    RegistryKey key;
    if (key.OpenExisting(HKEY_CURRENT_USER, path.c_str(), KEY_READ) != ERROR_SUCCESS)
        return false;
    ListSubkeys(key.m_hKey, [&](const char* name) { names.emplace_back(name); });
    key.Close();
    std::stable_sort(names.begin(), names.end(), NameLess);
    return true;
}

const std::string* FindName(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& entry : names)
        if (SameName(entry, name))
            return &entry;
    return nullptr;
}
