// Preset deletion: the one-step delete and the depth-first fall-back the NT registry needs.
#include "scratch_registry.h"
#include "test_store.h"

using namespace test_support;

namespace {

const std::string kRoot = kEffectsRoot;
const std::string kReverb = EffectKeyPath("Reverb");

class DeleteTest : public ScratchRegistry {
protected:
    TestStore store;
};

TEST_F(DeleteTest, PresetWithoutSubkeysGoesAndTheEffectStays) {
    SetDwordValue(kReverb + "\\Warm", "Mix", 40);
    store.DeletePreset("Reverb", "Warm");
    EXPECT_FALSE(KeyExists(kReverb + "\\Warm"));
    EXPECT_TRUE(KeyExists(kReverb));
    EXPECT_TRUE(Subkeys(kReverb).empty());
}

TEST_F(DeleteTest, ThreeLevelTreeIsRemovedDepthFirst) {
    // The registry refuses to delete a key that has subkeys, so this needs the fall-back.
    HKEY effect = nullptr;
    SetDwordValue(kReverb + "\\Hall\\A\\B\\C", "Deep", 1);
    SetDwordValue(kReverb + "\\Hall\\A\\B2", "Side", 2);
    SetDwordValue(kReverb + "\\Hall\\Z", "Z", 3);
    SetDwordValue(kReverb + "\\Other\\A", "Keep", 4);
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CURRENT_USER, kReverb.c_str(), 0, KEY_ALL_ACCESS, &effect));
    EXPECT_NE(ERROR_SUCCESS, RegDeleteKeyA(effect, "Hall"));
    RegCloseKey(effect);

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
