#include "preset_catalog.h"

#include "registry_key.h"
#include "system_chars.h"

#include <algorithm>

namespace {
int Fold(char c) {
    const int u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
}
} // namespace

std::string Folded(const std::string& name) {
    std::string folded = name;
    for (size_t at = 0; at < folded.size();) {
        const size_t bytes = CharBytes(folded.data(), folded.size(), at, SystemLeadByte);
        if (bytes == 1)
            folded[at] = static_cast<char>(Fold(folded[at]));
        at += bytes;
    }
    return folded;
}

bool NameLess(const std::string& a, const std::string& b) {
#ifdef _WIN32
    // The comparison a sorted list box makes, so that listings come in the dialog's order.
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
#else
    const std::string x = Folded(a);
    const std::string y = Folded(b);
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
        return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
    });
#endif
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && Folded(a) == Folded(b);
}

bool ListKeyNames(const std::string& path, std::vector<std::string>& names,
                  std::vector<std::string>* passedOver) {
    names.clear();
    RegistryKey key;
    if (key.OpenExisting(HKEY_CURRENT_USER, path.c_str(), KEY_READ) != ERROR_SUCCESS)
        return false;
    ListSubkeys(
        key.m_hKey, [&](const char* name) { names.emplace_back(name); }, passedOver);
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
