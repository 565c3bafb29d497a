#include "registry_key.h"

#include <cstring>

namespace {
constexpr DWORD kQueryBufferBytes = 32;
char kKeyClass[] = "REG_SZ";
} // namespace

std::string EffectKeyPath(const char* effect) {
    return std::string(kEffectsRoot) + "\\" + effect;
}

std::string PresetKeyPath(const char* effect, const char* preset) {
    return EffectKeyPath(effect) + "\\" + preset;
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

void ListSubkeys(HKEY key, const std::function<void(const char*)>& add) {
    char name[kNameBufferChars];
    char keyClass[kNameBufferChars];
    DWORD nameLength = kNameBufferChars;
    DWORD classLength = kNameBufferChars;
    FILETIME written;
    DWORD index = 0;
    LONG status;
    do {
        status =
            RegEnumKeyExA(key, index, name, &nameLength, nullptr, keyClass, &classLength, &written);
        if (status == ERROR_SUCCESS) {
            name[kNameBufferChars - 1] = '\0';
            add(name);
        }
        nameLength = kNameBufferChars;
        classLength = kNameBufferChars;
        ++index;
    } while (status == ERROR_SUCCESS);
}
