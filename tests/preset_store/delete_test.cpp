// Preset deletion: the one-step delete and the depth-first fall-back the NT registry needs.
#include "scratch_registry.h"
#include "test_store.h"

#include <cstdio>
#include <cstdlib>

using namespace test_support;

namespace {

const std::string kRoot = kEffectsRoot;
const std::string kReverb = EffectKeyPath("Reverb");

class DeleteTest : public ScratchRegistry {
protected:
    TestStore store;
};

// "95" when the registry is the Windows 95 family's (Wine with the Windows version set to 98),
// "NT" otherwise. The native build's in-process registry stands for the NT family: natively
// these tests check the store against that stand-in, and the Wine runs assert the same against
// the real registry, in the build's prefix and one reporting Windows 2000 (NT) and one
// reporting Windows 98 (95).
std::string RegistryFamily() {
#ifdef _WIN32
    return (::GetVersion() & 0x80000000u) != 0 ? "95" : "NT";
#else
    return "NT";
#endif
}

// Whether the registry deletes a key that has subkeys in one call, as the store tries first.
bool OneStepDeleteRemovesTrees() {
    SetDwordValue(kRoot + "\\Probe\\Sub", "x", 1);
    HKEY root = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kRoot.c_str(), 0, KEY_ALL_ACCESS, &root));
    const bool removed = RegDeleteKeyA(root, "Probe") == ERROR_SUCCESS;
    RegCloseKey(root);
    WipeKey(kRoot + "\\Probe");
    return removed;
}

TEST_F(DeleteTest, PresetWithoutSubkeysGoesAndTheEffectStays) {
    SetDwordValue(kReverb + "\\Warm", "Mix", 40);
    store.DeletePreset("Reverb", "Warm");
    EXPECT_FALSE(KeyExists(kReverb + "\\Warm"));
    EXPECT_TRUE(KeyExists(kReverb));
    EXPECT_TRUE(Subkeys(kReverb).empty());
}

TEST_F(DeleteTest, ThreeLevelTreeGoesTheWayOfTheRegistrysFamily) {
    // The NT family refuses to delete a key that has subkeys, so there the fall-back runs; the
    // Windows 95 family removes the tree with the first call. The test runs in both.
    const std::string family = RegistryFamily();
    const bool oneStep = OneStepDeleteRemovesTrees();
    std::printf("[ registry ] Windows %s family: %s\n", family.c_str(),
                oneStep ? "the one-step delete removes a preset with its subkeys"
                        : "the one-step delete is refused, the depth-first fall-back runs");
    EXPECT_EQ(family == "95", oneStep);
    // Set by every Wine run, each in a prefix of a known Windows version.
    if (const char* expected = std::getenv("TEST_WINDOWS_FAMILY")) {
        EXPECT_EQ(std::string(expected), family);
    }

    SetDwordValue(kReverb + "\\Hall\\A\\B\\C", "Deep", 1);
    SetDwordValue(kReverb + "\\Hall\\A\\B2", "Side", 2);
    SetDwordValue(kReverb + "\\Hall\\Z", "Z", 3);
    SetDwordValue(kReverb + "\\Other\\A", "Keep", 4);
    store.DeletePreset("Reverb", "Hall");
    EXPECT_FALSE(KeyExists(kReverb + "\\Hall"));
    EXPECT_EQ(std::vector<std::string>{"Other"}, Subkeys(kReverb));
    EXPECT_EQ(1u, TakeSnapshot(kRoot).size());
}

TEST_F(DeleteTest, MissingPresetOrEffectDeletesNothing) {
    SetDwordValue(kReverb + "\\Warm", "Mix", 40);
    const Snapshot before = TakeSnapshot(kRoot);
    store.DeletePreset("Reverb", "Cold");
    store.DeletePreset("Echo", "Warm");
    EXPECT_EQ(before, TakeSnapshot(kRoot));
    EXPECT_TRUE(KeyExists(kRoot + "\\Echo")); // opening the effect key created it
}

TEST_F(DeleteTest, EmptyPresetNameNeverReachesTheEffectKey) {
    SetDwordValue(kReverb + "\\Warm\\Sub", "Mix", 40);
    SetDwordValue(kReverb + "\\Cold", "Mix", 41);
    const Snapshot before = TakeSnapshot(kRoot);
    store.DeletePreset("Reverb", "");
    EXPECT_EQ(before, TakeSnapshot(kRoot));
}

// The statuses the store's listings and deletion rely on, from the registry that runs the test.
TEST_F(DeleteTest, RegistryStatusesTheStoreReliesOn) {
    const std::string hall = kReverb + "\\Hall";
    SetDwordValue(hall + "\\Sub", "v", 1);
    SetStringValue(hall, "s", std::string(300, 's'));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, hall.c_str(), 0, KEY_ALL_ACCESS, &key));
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
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Missing"));
    RegCloseKey(key);

    HKEY reverb = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kReverb.c_str(), 0, KEY_READ | KEY_WRITE, &reverb));
    // Hall has a subkey: the NT family refuses, the Windows 95 family deletes the tree.
    EXPECT_EQ(RegistryFamily() == "NT" ? ERROR_ACCESS_DENIED : ERROR_SUCCESS,
              RegDeleteKeyA(reverb, "Hall"));
    RegCloseKey(reverb);
}

TEST_F(DeleteTest, DeleteKeyTreeReportsAMissingKey) {
    CreateKey(kReverb);
    HKEY effect = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kReverb.c_str(), 0, KEY_ALL_ACCESS, &effect));
    EXPECT_NE(ERROR_SUCCESS, DeleteKeyTree(effect, "Nothing"));
    SetDwordValue(kReverb + "\\T\\U", "x", 1);
    EXPECT_EQ(ERROR_SUCCESS, DeleteKeyTree(effect, "T"));
    RegCloseKey(effect);
    EXPECT_FALSE(KeyExists(kReverb + "\\T"));
}

} // namespace
