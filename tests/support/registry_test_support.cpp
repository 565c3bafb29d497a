#include "registry_test_support.h"

#include "test_prefix.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace test_support {

namespace {

// Room for any value name and data a registry may hold.
constexpr size_t kAnyValueNameChars = 16384;
constexpr size_t kAnyValueBytes = 70000;
// Key names of 255 double-byte characters, and the longer ones the in-process registry can be
// given.
constexpr size_t kAnyKeyNameChars = 2048;

[[noreturn]] void PrintAndExit(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: setup failed: %s\n", file, line, what.c_str());
    std::exit(1);
}

SetupFailureHandler g_onSetupFailure = PrintAndExit;

// Opens or creates the key at path with every missing key above it.
HKEY Create(HKEY parent, const std::string& path, const char* file, int line) {
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                        nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        SetupFailed(file, line, "cannot create key " + path + ": status " + std::to_string(status));
    return key;
}

std::string Below(const std::string& path, const std::string& name) {
    return path + "\\" + name;
}

// The existing key at path below HKEY_CURRENT_USER; null when it cannot be opened.
HKEY OpenKey(const std::string& path, REGSAM access = KEY_READ) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

void SnapshotBelow(const std::string& path, Snapshot& out) {
    HKEY key = OpenKey(path);
    if (key == nullptr)
        return;
    std::vector<BYTE> data(kAnyValueBytes);
    char name[kAnyValueNameChars];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = sizeof name;
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data.data(), &dataLength) !=
            ERROR_SUCCESS)
            break;
        out[path][std::string(name, nameLength)] =
            StoredValue{type, std::string(reinterpret_cast<char*>(data.data()), dataLength)};
    }
    RegCloseKey(key);
    for (const std::string& sub : Subkeys(path))
        SnapshotBelow(Below(path, sub), out);
}

#ifdef _WIN32
// The same through the wide calls, for keys below it whose names the ANSI code page cannot
// show (made under another code page), which the ANSI calls could neither open nor delete.
LONG DeleteDepthFirstW(HKEY parent, const std::wstring& name) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    wchar_t sub[kAnyKeyNameChars];
    for (;;) {
        DWORD length = kAnyKeyNameChars;
        if (RegEnumKeyExW(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS ||
            DeleteDepthFirstW(key, std::wstring(sub, length)) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, name.c_str());
}
#endif

// Deletes the subkey name of parent, its own subkeys first, one registry call at a time.
LONG DeleteDepthFirst(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    char sub[kAnyKeyNameChars];
    for (;;) {
        DWORD length = sizeof sub;
        if (RegEnumKeyExA(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS ||
            DeleteDepthFirst(key, std::string(sub, length)) != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name.c_str());
}

} // namespace

void SetSetupFailureHandler(SetupFailureHandler handler) {
    g_onSetupFailure = handler != nullptr ? handler : PrintAndExit;
}

void SetupFailed(const char* file, int line, const std::string& what) {
    g_onSetupFailure(file, line, what);
    // A handler that returns still must not let the caller go on.
    PrintAndExit(file, line, what);
}

void CreateKey(const std::string& path, const char* file, int line) {
    RegCloseKey(Create(HKEY_CURRENT_USER, path, file, line));
}

void SetRaw(const std::string& keyPath, const std::string& name, DWORD type,
            const std::string& bytes, const char* file, int line) {
    HKEY key = Create(HKEY_CURRENT_USER, keyPath, file, line);
    const LONG status =
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        SetupFailed(file, line,
                    "cannot set " + keyPath + "|" + name + ": status " + std::to_string(status));
}

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value,
                   const char* file, int line) {
    SetRaw(keyPath, name, REG_DWORD, Dword(value), file, line);
}

void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& text,
                    const char* file, int line) {
    SetRaw(keyPath, name, REG_SZ, text + std::string(1, '\0'), file, line);
}

HKEY CreateChain(const std::string& path, const std::string& name, int levels, const char* file,
                 int line) {
    HKEY key = Create(HKEY_CURRENT_USER, path, file, line);
    for (int level = 0; level < levels; ++level) {
        HKEY child = Create(key, name, file, line);
        RegCloseKey(key);
        key = child;
    }
    return key;
}

void WipeKey(const std::string& path, const char* file, int line) {
#ifdef _WIN32
    test_prefix::RequireTestPrefix();
#endif
    const size_t split = path.rfind('\\');
    HKEY parent = HKEY_CURRENT_USER;
    if (split != std::string::npos) {
        parent = OpenKey(path.substr(0, split), KEY_READ | KEY_WRITE);
        if (parent == nullptr)
            return; // nothing above it, so nothing to wipe
    }
    DeleteDepthFirst(parent, path.substr(split + 1));
#ifdef _WIN32
    if (KeyExists(path)) {
        const std::string last = path.substr(split + 1);
        DeleteDepthFirstW(parent, std::wstring(last.begin(), last.end()));
    }
#endif
    if (parent != HKEY_CURRENT_USER)
        RegCloseKey(parent);
    if (KeyExists(path))
        SetupFailed(file, line, "cannot wipe key " + path);
}

bool KeyExists(const std::string& path) {
    HKEY key = OpenKey(path);
    if (key == nullptr)
        return false;
    RegCloseKey(key);
    return true;
}

bool GetRaw(const std::string& keyPath, const std::string& name, StoredValue& value) {
    HKEY key = OpenKey(keyPath);
    if (key == nullptr)
        return false;
    std::vector<BYTE> data(kAnyValueBytes);
    DWORD length = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &length);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return false;
    value = StoredValue{type, std::string(reinterpret_cast<char*>(data.data()), length)};
    return true;
}

bool GetDword(const std::string& keyPath, const std::string& name, DWORD& value) {
    StoredValue stored;
    if (!GetRaw(keyPath, name, stored) || stored.type != REG_DWORD ||
        stored.data.size() != sizeof value)
        return false;
    std::memcpy(&value, stored.data.data(), sizeof value);
    return true;
}

Snapshot TakeSnapshot(const std::string& path) {
    Snapshot out;
    SnapshotBelow(path, out);
    return out;
}

std::vector<std::string> Subkeys(const std::string& path) {
    std::vector<std::string> names;
    HKEY key = OpenKey(path);
    if (key == nullptr)
        return names;
    char name[kAnyKeyNameChars];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes, const char* file, int line) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        SetupFailed(file, line, "cannot write " + path);
}

std::string ScratchFolder(const std::string& name, const char* file, int line) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::temp_directory_path(error) / ("store_tests_" + name);
    fs::remove_all(folder, error);
    if (!fs::create_directories(folder, error))
        SetupFailed(file, line, "cannot create folder " + folder.string() + ": " + error.message());
    return folder.string();
}

std::string TextLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + kEol;
    return text;
}

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

} // namespace test_support
