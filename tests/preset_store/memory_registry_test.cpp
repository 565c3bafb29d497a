// Behaviour that only the in-process registry can show: a deletion refused in the middle of
// a tree, and the statuses the store relies on.
#include "store_test_support.h"

using namespace store_test;

namespace {

const std::string kHall = std::string(kEffectsRoot) + "\\Reverb\\Hall";

class MemoryRegistryTest : public ScratchRegistry {};

std::vector<std::string> KeysBelow(const std::string& path) {
    std::vector<std::string> keys;
    const std::string dump = registry_test::Dump();
    size_t start = 0;
    while (start < dump.size()) {
        const size_t end = dump.find('\n', start);
        const std::string line = dump.substr(start, end - start);
        if (line.compare(0, path.size(), path) == 0 && line.find('|') == std::string::npos)
            keys.push_back(line.substr(path.size()));
        start = end + 1;
    }
    return keys;
}

TEST_F(MemoryRegistryTest, RefusalMidTreeKeepsTheRefusedKeyItsAncestorsAndWhatIsLeft) {
    for (const char* leaf : {"\\A\\B\\C", "\\A\\B\\C2", "\\A\\D", "\\E"})
        SetDwordValue(kHall + leaf, "v", 1);
    registry_test::RefuseDeletionAt(kHall + "\\A\\B");
    TestStore store;
    store.DeletePreset("Reverb", "Hall");
    // C and C2 were finished before B was refused; D and E were never reached.
    EXPECT_EQ((std::vector<std::string>{"", "\\A", "\\A\\B", "\\A\\D", "\\E"}), KeysBelow(kHall));

    registry_test::RefuseDeletionAt("");
    store.DeletePreset("Reverb", "Hall");
    EXPECT_TRUE(KeysBelow(kHall).empty());
}

TEST_F(MemoryRegistryTest, StatusesOfTheOperationTable) {
    SetDwordValue(kHall + "\\Sub", "v", 1);
    SetStringValue(kHall, "s", std::string(300, 's'));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kHall.c_str(), 0, KEY_ALL_ACCESS, &key));
    char name[3];
    DWORD length = sizeof name;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    length = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumKeyExA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr));
    BYTE data[260];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    length = sizeof name;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumValueA(key, 0, name, &length, nullptr, &type, data, &dataLength));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "")); // not the key itself
    RegCloseKey(key);

    HKEY reverb = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kEffectsRoot) + "\\Reverb").c_str(), 0,
                            KEY_READ | KEY_WRITE, &reverb));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(reverb, "Hall")); // it has a subkey
    RegCloseKey(reverb);
    EXPECT_EQ(0, registry_test::OpenHandleCount());
}

} // namespace
