#include "registry_key.h"

#include "system_chars.h"

#include <cstring>

namespace {
constexpr DWORD kQueryBufferBytes = 32;
constexpr REGSAM kReadWriteAccess = KEY_READ | KEY_WRITE;
char kKeyClass[] = "REG_SZ";
} // namespace

std::string SubkeyPath(const std::string& parent, const std::string& name) {
    return parent + "\\" + name;
}

std::string EffectKeyPath(const std::string& effect) {
    return SubkeyPath(kEffectsRoot, effect);
}

std::string PresetKeyPath(const std::string& effect, const std::string& preset) {
    return SubkeyPath(EffectKeyPath(effect), preset);
}

std::string ParentPath(const std::string& path) {
    // The last "\" character: in a double-byte code page a trail byte may have its value.
    const size_t cut = FindLastChar(path.data(), path.size(), '\\', SystemLeadByte);
    return cut == path.size() ? path : path.substr(0, cut);
}

RegistryKey::RegistryKey() : m_hKey(nullptr) {}

RegistryKey::~RegistryKey() {}

LONG RegistryKey::Open(const char* path) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS) {
        key = nullptr;
        status = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, kKeyClass, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS)
            key = nullptr;
    }
    m_hKey = key;
    return status;
}

LONG RegistryKey::OpenOrCreate(const char* path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, kKeyClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        m_hKey = key;
        return ERROR_SUCCESS;
    }
    return Open(path);
}

LONG RegistryKey::OpenExisting(HKEY parent, const char* name, REGSAM access) {
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(parent, name, 0, access, &key);
    m_hKey = status == ERROR_SUCCESS ? key : nullptr;
    return status;
}

void RegistryKey::Close() {
    if (m_hKey != nullptr) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
}

LONG RegistryKey::SetDword(const char* name, DWORD value) {
    BYTE bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    return RegSetValueExA(m_hKey, name, 0, REG_DWORD, bytes, sizeof bytes);
}

LONG RegistryKey::SetString(const char* name, const char* text) {
    const DWORD length = static_cast<DWORD>(std::strlen(text)) + 1;
    return RegSetValueExA(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), length);
}

LONG RegistryKey::QueryDword(const char* name, DWORD& result, DWORD fallback) {
    BYTE buffer[kQueryBufferBytes];
    DWORD type = 0;
    DWORD size = kQueryBufferBytes;
    LONG status = ERROR_INVALID_HANDLE;
    if (m_hKey != nullptr)
        status = RegQueryValueExA(m_hKey, name, nullptr, &type, buffer, &size);
    if (status == ERROR_SUCCESS && size >= 4)
        std::memcpy(&result, buffer, 4);
    else
        result = fallback;
    return status;
}

LONG EnumSubkey(HKEY key, DWORD index, const SubkeyQuery& query, std::string& name) {
    std::vector<char> buffer(query.nameChars);
    char keyClass[kNameBufferChars];
    DWORD nameLength = query.nameChars;
    DWORD classLength = kNameBufferChars;
    FILETIME written;
    LONG status = RegEnumKeyExA(key, index, buffer.data(), &nameLength, nullptr,
                                query.withClass ? keyClass : nullptr,
                                query.withClass ? &classLength : nullptr, &written);
    if (status == ERROR_MORE_DATA && query.withClass) {
        // A class longer than its buffer (nothing uses it) is no reason to lose the name.
        nameLength = query.nameChars;
        status = RegEnumKeyExA(key, index, buffer.data(), &nameLength, nullptr, nullptr, nullptr,
                               &written);
    }
    if (status == ERROR_SUCCESS)
        name.assign(buffer.data(), nameLength < query.nameChars ? nameLength : query.nameChars - 1);
    else
        name.clear();
    return status;
}

const char* PassedOverSubkey(LONG status, const std::string& name) {
    if (status == ERROR_MORE_DATA)
        return "has a subkey whose name is too long to be read; it is left out";
    if (status == ERROR_SUCCESS && !SystemHasForm(name.data(), name.size()))
        return "has a subkey whose name this code page cannot show; it is left out";
    return nullptr;
}

void ListSubkeys(HKEY key, const std::function<void(const char*)>& add,
                 std::vector<std::string>* passedOver) {
    std::string name;
    for (DWORD index = 0;; ++index) {
        const LONG status = EnumSubkey(key, index, kListingQuery, name);
        if (const char* why = PassedOverSubkey(status, name)) {
            if (passedOver != nullptr)
                passedOver->push_back(why);
            continue;
        }
        if (status != ERROR_SUCCESS)
            break;
        add(name.c_str());
    }
}

LONG DeleteKeyTree(HKEY parent, const char* name) {
    {
        RegistryKey key;
        const LONG status = key.OpenExisting(parent, name, kReadWriteAccess);
        if (status != ERROR_SUCCESS)
            return status;
        KeyScope scope(key);
        // Each deleted subkey leaves the next one at the same index; one that cannot be named
        // stays, and the walk goes on past it.
        DWORD kept = 0;
        std::string subkey;
        for (;;) {
            const LONG listed = EnumSubkey(key.m_hKey, kept, kDeletionQuery, subkey);
            if (listed == ERROR_MORE_DATA) {
                ++kept;
                continue;
            }
            if (listed != ERROR_SUCCESS)
                break;
            // A subkey without subkeys of its own goes with one call; only one that has some
            // (or one that cannot be deleted) is walked.
            if (RegDeleteKeyA(key.m_hKey, subkey.c_str()) == ERROR_SUCCESS)
                continue;
            const LONG deleted = DeleteKeyTree(key.m_hKey, subkey.c_str());
            if (deleted != ERROR_SUCCESS)
                return deleted;
        }
        if (kept > 0)
            return ERROR_MORE_DATA;
    }
    return RegDeleteKeyA(parent, name);
}
