// RegistryKey and the subkey listing.
#include "scratch_registry.h"

#include <cstring>

using namespace test_support;

namespace {

const std::string kRoot = kEffectsRoot;

class RegistryKeyTest : public ScratchRegistry {};

TEST_F(RegistryKeyTest, OpenCreatesAMissingPathWithClassRegSz) {
    RegistryKey key;
    EXPECT_EQ(nullptr, key.m_hKey);
    EXPECT_EQ(ERROR_SUCCESS, key.Open(kEffectsRoot));
    EXPECT_NE(nullptr, key.m_hKey);
    std::vector<std::string> names;
    ListSubkeys(key.m_hKey, [&](const char* name) { names.emplace_back(name); });
    EXPECT_TRUE(names.empty());
    key.Close();
    EXPECT_EQ(nullptr, key.m_hKey);

    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &parent));
    char name[260];
    char keyClass[260];
    DWORD nameLength = sizeof name;
    DWORD classLength = sizeof keyClass;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(parent, 0, name, &nameLength, nullptr, keyClass,
                                           &classLength, nullptr));
    RegCloseKey(parent);
    EXPECT_STREQ("Effects", name);
    EXPECT_STREQ("REG_SZ", keyClass);
}

TEST_F(RegistryKeyTest, SettersStoreWhatTheReadersExpect) {
    RegistryKey key;
    key.Open(kSettingsKey);
    EXPECT_EQ(ERROR_SUCCESS, key.SetString("Empty", ""));
    EXPECT_EQ(ERROR_SUCCESS, key.SetString("", "default"));
    EXPECT_EQ(ERROR_SUCCESS, key.SetDword("D", 0xA1B2C3D4u));
    key.Close();
    StoredValue value;
    ASSERT_TRUE(GetRaw(kSettingsKey, "Empty", value));
    EXPECT_EQ((StoredValue{REG_SZ, std::string(1, '\0')}), value);
    ASSERT_TRUE(GetRaw(kSettingsKey, "", value));
    EXPECT_EQ((StoredValue{REG_SZ, std::string("default", 8)}), value);
    ASSERT_TRUE(GetRaw(kSettingsKey, "D", value));
    EXPECT_EQ((StoredValue{REG_DWORD, Dword(0xA1B2C3D4u)}), value);
}

TEST_F(RegistryKeyTest, QueryDwordTakesFourBytesOrTheFallback) {
    SetDwordValue(kSettingsKey, "Dword", 1234);
    SetRaw(kSettingsKey, "Text", REG_SZ, std::string("ABCD\0", 5));
    SetRaw(kSettingsKey, "Max32", REG_BINARY, std::string(32, '\x01'));
    SetRaw(kSettingsKey, "Long", REG_BINARY, std::string(33, '\x01'));
    SetRaw(kSettingsKey, "Short", REG_BINARY, "\x05\x06");
    struct Case {
        const char* name;
        DWORD expected;
    } cases[] = {
        {"Dword", 1234},
        {"Text", 'A' | 'B' << 8 | 'C' << 16 | static_cast<DWORD>('D') << 24},
        {"Max32", 0x01010101u},
        {"Long", 77},
        {"Short", 77},
        {"Missing", 77},
    };
    RegistryKey key;
    key.Open(kSettingsKey);
    for (const Case& c : cases) {
        DWORD result = 0xDEADBEEF;
        key.QueryDword(c.name, result, 77);
        EXPECT_EQ(c.expected, result) << c.name;
    }
    key.Close();
    DWORD result = 0xDEADBEEF;
    key.QueryDword("Dword", result, 5); // no key open
    EXPECT_EQ(5u, result);
}

TEST_F(RegistryKeyTest, ListingReturnsEverySubkeyOnceInTheRegistrysOrder) {
    for (const char* name : {"delta", "Alpha", "charlie", "Bravo", "%echo"})
        CreateKey(kRoot + "\\" + name);
    CreateKey(kRoot + "\\" + std::string(200, 'z'));
    RegistryKey key;
    key.Open(kEffectsRoot);
    std::vector<std::string> names;
    ListSubkeys(key.m_hKey, [&](const char* name) { names.emplace_back(name); });
    key.Close();
    EXPECT_EQ(Subkeys(kRoot), names);
    EXPECT_EQ(6u, names.size());
    std::vector<std::string> none;
    ListSubkeys(nullptr, [&](const char* name) { none.emplace_back(name); });
    EXPECT_TRUE(none.empty());
}

} // namespace
