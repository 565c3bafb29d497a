// Helpers for the preset store tests: a scratch preset tree wiped before and after each test,
// raw registry access that bypasses the code under test, and file helpers.
#pragma once

#include "preset_store.h"
#include "registry_key.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace store_test {

constexpr const char* kProductKey = "Software\\Vantor\\Kelvidrome2";

// The line end a text-mode stream writes on this platform.
#ifdef _WIN32
constexpr const char* kEol = "\r\n";
#else
constexpr const char* kEol = "\n";
#endif

struct StoredValue {
    DWORD type;
    std::string data;
    bool operator==(const StoredValue& o) const { return type == o.type && data == o.data; }
};
// Key path (below HKEY_CURRENT_USER) -> value name -> value, for keys that hold values.
using Snapshot = std::map<std::string, std::map<std::string, StoredValue>>;

// Removes the key at path with everything below it (no error when it is missing).
void WipeKey(const std::string& path);
bool KeyExists(const std::string& path);
void CreateKey(const std::string& path);
void SetRaw(const std::string& keyPath, const std::string& name, DWORD type,
            const std::string& bytes);
void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value);
void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& text);
// False when the value is missing.
bool GetRaw(const std::string& keyPath, const std::string& name, StoredValue& value);
// Every key below path that holds values, with its values.
Snapshot TakeSnapshot(const std::string& path);
// The subkey names of path in the registry's order.
std::vector<std::string> Subkeys(const std::string& path);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// A fresh folder for this test's files.
std::string ScratchFolder(const std::string& name);
// Lines joined with this platform's text-mode line end, each line ended.
std::string TextLines(const std::vector<std::string>& lines);

// Wipes the product's tree before and after each test; natively also checks that every key
// the code under test opened was closed.
class ScratchRegistry : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

class TestStore : public PresetStore {
public:
    using PresetStore::m_presetFile;
    using PresetStore::ReadVersion1;
    using PresetStore::ReadVersion2;
};

std::string Dword(DWORD value);

} // namespace store_test
