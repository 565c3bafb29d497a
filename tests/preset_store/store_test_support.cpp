#include "store_test_support.h"

#include "test_prefix.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace store_test {

namespace {

void WipeBelow(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char sub[260];
    for (;;) {
        DWORD length = sizeof sub;
        if (RegEnumKeyExA(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        WipeBelow(key, sub);
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name.c_str());
}

void SnapshotBelow(const std::string& path, Snapshot& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    std::vector<BYTE> data(70000);
    char name[16384];
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
        SnapshotBelow(path + "\\" + sub, out);
}

} // namespace

void WipeKey(const std::string& path) {
#ifdef _WIN32
    test_prefix::RequireTestPrefix();
#endif
    WipeBelow(HKEY_CURRENT_USER, path);
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void CreateKey(const std::string& path) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << path;
    RegCloseKey(key);
}

void SetRaw(const std::string& keyPath, const std::string& name, DWORD type,
            const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr))
        << keyPath;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name.c_str(), 0, type,
                                            reinterpret_cast<const BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
    RegCloseKey(key);
}

std::string Dword(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value) {
    SetRaw(keyPath, name, REG_DWORD, Dword(value));
}

void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& text) {
    SetRaw(keyPath, name, REG_SZ, text + std::string(1, '\0'));
}

bool GetRaw(const std::string& keyPath, const std::string& name, StoredValue& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    std::vector<BYTE> data(70000);
    DWORD length = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &length);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return false;
    value = StoredValue{type, std::string(reinterpret_cast<char*>(data.data()), length)};
    return true;
}

Snapshot TakeSnapshot(const std::string& path) {
    Snapshot out;
    SnapshotBelow(path, out);
    return out;
}

std::vector<std::string> Subkeys(const std::string& path) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    char name[260];
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

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchFolder(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("store_tests_" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder.string();
}

std::string TextLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + kEol;
    return text;
}

void ScratchRegistry::SetUp() {
#ifndef _WIN32
    registry_test::Reset();
#endif
    WipeKey(kProductKey);
}

void ScratchRegistry::TearDown() {
    WipeKey(kProductKey);
#ifndef _WIN32
    EXPECT_EQ(0, registry_test::OpenHandleCount()) << "a key was left open";
    registry_test::Reset();
#endif
}

} // namespace store_test
