// The store under a double-byte code page (natively 932's lead bytes over the in-process
// registry, under Wine the code page the run chose): trail bytes with the value of "\", "[",
// "|" or a letter are parts of their characters in paths, section lines, file names and names.
#include "double_byte.h"
#include "preset_catalog.h"
#include "scratch_registry.h"
#include "test_store.h"

#include <string>

using namespace test_support;

namespace {

class DoubleByteStoreTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        if (codePage.Active())
            t = &codePage.texts();
        file = ScratchFolder("double_byte") + "/p.kvp";
    }
    double_byte::SystemCodePage codePage;
    const double_byte::Texts* t = nullptr;
    std::string file;
    TestStore store;
};

// A subkey whose name ends in a trail byte 0x5C, a later sibling, values listed after both,
// and names and texts with a trail byte "[": exported whole, deleted, imported back the same.
TEST_F(DoubleByteStoreTest, PresetWithTrailBytesSurvivesExportDeleteImport) {
    DOUBLE_BYTE_ONLY(codePage);
    const std::string fx = std::string("Fx") + t->pipeTrail;
    const std::string preset = std::string("P") + t->bracketTrail;
    const std::string key = PresetKeyPath(fx, preset);
    SetDwordValue(key, "Mix", 40);
    SetStringValue(key, std::string("Title") + t->bracketTrail, std::string("a") + t->bracketTrail);
    SetDwordValue(key + "\\" + t->backslashTrail, "Inner", 1);
    SetDwordValue(key + "\\" + t->backslashTrail + "\\" + t->otherBackslashTrail, "Deep", 2);
    SetDwordValue(key + "\\" + t->plain, "Later", 3);
    SetStringValue(key + "\\" + t->bracketTrail + t->bracketTrail, "Chorus", t->backslashTrail);
    const Snapshot before = TakeSnapshot(key);
    ASSERT_EQ(5u, before.size());

    const StoreReport exported = store.ExportPreset(fx.c_str(), preset.c_str(), file.c_str());
    EXPECT_TRUE(exported.Complete());
    const std::string text = ReadFileBytes(file);
    // The preset's values after each of its three subkeys, and once before them.
    size_t mixLines = 0;
    for (size_t at = 0; (at = text.find("Mix - 40", at)) != std::string::npos; ++at)
        ++mixLines;
    EXPECT_EQ(4u, mixLines) << text;

    ASSERT_TRUE(store.DeletePreset(fx.c_str(), preset.c_str()));
    EXPECT_FALSE(KeyExists(key));
    EXPECT_TRUE(store.ImportPresetFile(file.c_str()).Complete());
    EXPECT_EQ(before, TakeSnapshot(key));
    EXPECT_EQ(Subkeys(key).size(), 3u);
}

// Sections beyond the deepest level an export writes, in a file of any length, leave their
// values out with one report; the import ends and goes on at the right key after them.
TEST_F(DoubleByteStoreTest, EndlesslyNestedSectionsEndWithABoundedReport) {
    DOUBLE_BYTE_ONLY(codePage);
    std::string lines = std::string("KELVIDROMEPRESET2.0\r\nFx\r\n") + t->backslashTrail + "\r\n";
    for (int level = 0; level < 5000; ++level)
        lines += std::string("[") + t->backslashTrail + "]\r\nMix - 40\r\n";
    for (int level = 0; level < 5000; ++level)
        lines += "[..]\r\n";
    lines += "Top - 1\r\n";
    WriteFileBytes(file, lines);
    const StoreReport report = store.ImportPresetFile(file.c_str());
    ASSERT_FALSE(report.problems.empty());
    EXPECT_LE(report.problems.size(), 1001u);
    const std::string key = PresetKeyPath("Fx", t->backslashTrail);
    DWORD top = 0;
    EXPECT_TRUE(GetDword(key, "Top", top));
    EXPECT_EQ(1u, top);
}

TEST_F(DoubleByteStoreTest, FileNamePartsAndNamesKeepTheirCharacters) {
    DOUBLE_BYTE_ONLY(codePage);
    for (const char* name : {t->backslashTrail, t->otherBackslashTrail, t->pipeTrail})
        EXPECT_EQ(name, FileNamePart(name));
    EXPECT_EQ(std::string("_") + t->pipeTrail + "_",
              FileNamePart(std::string("|") + t->pipeTrail + "\\"));
    // A lead byte takes no "/" or control byte as its trail byte.
    const std::string lead(1, t->backslashTrail[0]);
    EXPECT_EQ(lead + "_" + lead + "_", FileNamePart(lead + "/" + lead + "\n"));
    EXPECT_FALSE(SameName(t->upperTrail, t->lowerTrail));
    EXPECT_TRUE(SameName(std::string("Ab") + t->lowerTrail, std::string("aB") + t->lowerTrail));
    EXPECT_EQ(
        std::string("Z:\\f\\") + t->backslashTrail,
        ParentPath(std::string("Z:\\f\\") + t->backslashTrail + "\\" + t->otherBackslashTrail));
}

} // namespace
