// Behaviour that only the in-process registry can show: a deletion refused in the middle of
// a tree, and the arguments of every call. The statuses the store relies on are checked
// against each registry by DeleteTest.
#include "memory_registry.h"
#include "scratch_registry.h"
#include "test_store.h"

#include <functional>
#include <set>

using namespace test_support;

namespace {

const std::string kHall = PresetKeyPath("Reverb", "Hall");

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

// The store never hands an empty name to the deletion (DeleteTest checks that against the real
// registry too); the in-process registry refuses one, so that a slip could not take a key away.
TEST_F(MemoryRegistryTest, DeletionOfAnEmptyNameIsRefused) {
    SetDwordValue(kHall, "v", 1);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kHall.c_str(), 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "")); // not the key itself
    RegCloseKey(key);
    EXPECT_EQ(0, registry_test::OpenHandleCount());
}

// The same source calls ADVAPI32 in the Windows build, so these are the arguments Windows
// gets: the access masks, the key class and the buffer lengths, reset before every call.
TEST_F(MemoryRegistryTest, EveryCallCarriesTheAccessClassAndBufferSizesTheStoreReliesOn) {
    const std::string openRoot = "RegOpenKeyExA HKCU access=f003f";
    // Key names of 255 double-byte characters fit.
    const std::string listKeys = "RegEnumKeyExA name=511 class=260 time=yes";
    const std::string file = ScratchFolder("calls") + "/out.kvp";
    SetDwordValue(kHall + "\\A\\B", "v", 1);
    SetDwordValue(kHall + "\\C", "v", 1);
    TestStore store;
    RegistryKey key;
    struct Case {
        const char* what;
        std::function<void()> run;
        std::set<std::string> calls;
    } cases[] = {
        {"open of a missing key",
         [&] { key.Open((kHall + "\\New").c_str()); },
         {openRoot, "RegCreateKeyExA HKCU class=REG_SZ options=0 access=f003f security=none "
                    "disposition=none"}},
        {"setters and query",
         [&] {
             key.SetDword("d", 1);
             key.SetString("s", "ab");
             DWORD value = 0;
             key.QueryDword("d", value, 0);
             key.Close();
         },
         {"RegSetValueExA type=4 bytes=4", "RegSetValueExA type=1 bytes=3",
          "RegQueryValueExA type=yes data=32"}},
        {"listing",
         [&] {
             key.Open(kEffectsRoot);
             ListSubkeys(key.m_hKey, [](const char*) {});
             key.Close();
         },
         {openRoot, listKeys}},
        {"export",
         [&] { store.ExportPreset("Reverb", "Hall", file.c_str()); },
         {openRoot, listKeys, "RegEnumValueA name=2000 type=yes data=2000"}},
        {"deletion with its fall-back",
         [&] { store.DeletePreset("Reverb", "Hall"); },
         {openRoot, "RegDeleteKeyA key", "RegOpenKeyExA key access=2001f",
          "RegEnumKeyExA name=511 class=none time=yes"}},
    };
    for (const Case& c : cases) {
        registry_test::TakeCalls();
        c.run();
        EXPECT_EQ(c.calls, registry_test::TakeCalls()) << c.what;
    }
    EXPECT_FALSE(KeyExists(kHall));
}

} // namespace
