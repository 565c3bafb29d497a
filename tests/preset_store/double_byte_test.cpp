// The store under a double-byte code page (natively 932's lead bytes over the in-process
// registry, under Wine the code page the run chose): trail bytes with the value of "\", "[",
// "|" or a letter are parts of their characters in paths, section lines, file names and names.
#include "double_byte.h"
#include "memory_registry.h"
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
    // A lead byte takes no "/" or control byte as its trail byte; without its trail byte it
    // has no form and would take the "_" after it as one, so it becomes "_" too.
    const std::string lead(1, t->backslashTrail[0]);
    EXPECT_EQ("____", FileNamePart(lead + "/" + lead + "\n"));
    // A folder whose last character ends in a trail byte 0x5C still gets its separator.
    const std::string folder = std::string("Q:\\") + t->backslashTrail;
    EXPECT_EQ(folder + "\\Fx - P.kvp", store.OutputName(folder.c_str(), "Fx", "P"));
    EXPECT_FALSE(SameName(t->upperTrail, t->lowerTrail));
    EXPECT_TRUE(SameName(std::string("Ab") + t->lowerTrail, std::string("aB") + t->lowerTrail));
    EXPECT_EQ(
        std::string("Z:\\f\\") + t->backslashTrail,
        ParentPath(std::string("Z:\\f\\") + t->backslashTrail + "\\" + t->otherBackslashTrail));
}

// Names longer than 259 bytes: 200 double-byte characters (400 bytes; paths still short
// enough for Wine's registry). A preset after such a name is listed, backed up and deleted;
// the export walks into such a subkey and past it.
TEST_F(DoubleByteStoreTest, NamesOfUpTo510BytesAreListedExportedAndDeleted) {
    DOUBLE_BYTE_ONLY(codePage);
    std::string longName;
    for (int i = 0; i < 200; ++i)
        longName += t->plain;
    for (const std::string& preset : {std::string("A"), longName, std::string("Z")})
        SetDwordValue(PresetKeyPath("Fx", preset), "Mix", 1);
    std::vector<std::string> names;
    std::vector<std::string> passedOver;
    ASSERT_TRUE(ListKeyNames(EffectKeyPath("Fx"), names, &passedOver));
    EXPECT_EQ((std::vector<std::string>{"A", "Z", longName}), names);
    EXPECT_TRUE(passedOver.empty());

    const std::string key = PresetKeyPath("Fx", "A");
    SetDwordValue(key + "\\" + longName, "Inner", 2);
    SetDwordValue(key + "\\" + longName + "\\Deep", "Deeper", 3);
    SetDwordValue(key + "\\Later", "After", 4);
    const Snapshot before = TakeSnapshot(key);
    const StoreReport exported = store.ExportPreset("Fx", "A", file.c_str());
    EXPECT_TRUE(exported.Complete());
    EXPECT_NE(std::string::npos, ReadFileBytes(file).find("[" + longName + "]"));
    EXPECT_TRUE(store.DeletePreset("Fx", "A"));
    EXPECT_FALSE(KeyExists(key));
    EXPECT_TRUE(store.ImportPresetFile(file.c_str()).Complete());
    EXPECT_EQ(before, TakeSnapshot(key));
    EXPECT_TRUE(store.DeletePreset("Fx", longName.c_str()));
    EXPECT_EQ((std::vector<std::string>{"A", "Z"}), Subkeys(EffectKeyPath("Fx")));
}

// A file written under code page 1252 whose preset name "Caf\xE9" ends in what is a lead
// byte here: nothing is stored, and nothing lands elsewhere. Sections whose names lack a form
// leave their values out, and the values after them land where the file puts them.
TEST_F(DoubleByteStoreTest, NamesFromAnotherCodePageInAFileNeverScatterAPreset) {
    DOUBLE_BYTE_ONLY(codePage);
    WriteFileBytes(file,
                   TextLines({"KELVIDROMEPRESET2.0", "Fx", "Caf\xE9", "Top - 1", "[Sub]",
                              "Inner - 2", "[..]", "After - 3", "[Other]", "Deep - 4", "[..]"}));
    const StoreReport refused = store.ImportPresetFile(file.c_str());
    EXPECT_EQ(StoreReport::FileState::kNameWithoutForm, refused.file);
    EXPECT_TRUE(Subkeys(kEffectsRoot).empty());

    WriteFileBytes(file, TextLines({"KELVIDROMEPRESET2.0", "Fx", "P", "Top - 1", "[\xE9 x]",
                                    "Lost - 2", "[Inner]", "Lost - 3", "[..]", "[..]", "After - 4",
                                    "[Sub]", "Inner - 5", "[..]", "Caf\xE9 - 6"}));
    const StoreReport report = store.ImportPresetFile(file.c_str());
    EXPECT_EQ(StoreReport::FileState::kDone, report.file);
    ASSERT_EQ(2u, report.problems.size());
    EXPECT_EQ("has a section whose name this code page cannot show; its values are left out",
              report.problems[0].problem);
    const std::string key = PresetKeyPath("Fx", "P");
    const Snapshot stored = TakeSnapshot(kEffectsRoot);
    EXPECT_EQ((Snapshot{{key, {{"Top", {REG_DWORD, Dword(1)}}, {"After", {REG_DWORD, Dword(4)}}}},
                        {key + "\\Sub", {{"Inner", {REG_DWORD, Dword(5)}}}}}),
              stored);

    // Version 1.0: up to the next section.
    WriteFileBytes(file, TextLines({"KELVIDROMEPRESET1.0", "Fx", "V1", "[Caf\xE9 ]", "Lost - 1",
                                    "[Main]", "Gain - 2"}));
    EXPECT_EQ(1u, store.ImportPresetFile(file.c_str()).problems.size());
    EXPECT_EQ(std::vector<std::string>{"Main"}, Subkeys(PresetKeyPath("Fx", "V1")));
}

// A line longer than the earlier readers' pieces of 1999 bytes, whose 1999th byte is a lead
// byte with the trail byte "[": read whole, it is one value, and the values after it land in
// the preset.
TEST_F(DoubleByteStoreTest, ALongLineIsReadWholeAndNeverCutBetweenALeadAndItsTrailByte) {
    DOUBLE_BYTE_ONLY(codePage);
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += t->bracketTrail;
    WriteFileBytes(file,
                   TextLines({"KELVIDROMEPRESET2.0", "Fx", "P", "%Sx - " + text, "After - 1"}));
    EXPECT_TRUE(store.ImportPresetFile(file.c_str()).Complete());
    const std::string key = PresetKeyPath("Fx", "P");
    EXPECT_EQ((Snapshot{{key,
                         {{"Sx", {REG_SZ, text + std::string(1, '\0')}},
                          {"After", {REG_DWORD, Dword(1)}}}}}),
              TakeSnapshot(kEffectsRoot));
}

#ifndef _WIN32
// The Windows 95 family keeps key names as bytes, so names made under code page 1252 are met
// by a listing under 932 (natively: the in-process registry, names made before the lead-byte
// test is set), and so are names longer than a buffer of 255 double-byte characters (a
// registry that takes longer names). Each is passed over with a report; nothing ends a walk.
TEST_F(DoubleByteStoreTest, NamesWithoutAFormOrTooLongArePassedOverWithAReport) {
    DOUBLE_BYTE_ONLY(codePage);
    registry_test::SetKeyNameLimit(1000);
    std::string tooLong;
    for (int i = 0; i < 300; ++i)
        tooLong += t->plain;
    SetSystemLeadByteTest(nullptr);
    for (const std::string& preset :
         {std::string("A"), std::string("Caf\xE9"), tooLong, std::string("Z")})
        SetDwordValue(PresetKeyPath("Fx", preset), "Mix", 1);
    const std::string key = PresetKeyPath("Fx", "A");
    SetDwordValue(key + "\\Caf\xE9\\Sub", "Lost", 1);
    SetDwordValue(key + "\\" + tooLong, "Lost", 2);
    SetDwordValue(key + "\\Later", "After", 3);
    SetDwordValue(key + "\\Later\\" + tooLong, "Lost", 4);
    SetSystemLeadByteTest(double_byte::Lead932);

    std::vector<std::string> names;
    std::vector<std::string> passedOver;
    ListKeyNames(EffectKeyPath("Fx"), names, &passedOver);
    EXPECT_EQ((std::vector<std::string>{"A", "Z"}), names);
    EXPECT_EQ(2u, passedOver.size());

    const StoreReport exported = store.ExportPreset("Fx", "A", file.c_str());
    EXPECT_EQ(StoreReport::FileState::kDone, exported.file);
    EXPECT_EQ(3u, exported.problems.size());
    EXPECT_EQ(TextLines({"KELVIDROMEPRESET2.0", "Fx", "A", "Mix - 1", "[Later]", "After - 3",
                         "[..]", "Mix - 1"}),
              ReadFileBytes(file));
    EXPECT_EQ(StoreReport::FileState::kNameWithoutForm,
              store.ExportPreset("Fx", "Caf\xE9", file.c_str()).file);
    EXPECT_EQ("Fx - Caf_.kvp", FileNamePart("Fx") + " - " + FileNamePart("Caf\xE9") + ".kvp");

    // What cannot be named stays, with its parents; everything else goes.
    EXPECT_EQ(DeleteResult::kNotDeleted, store.RemovePreset("Fx", "A"));
    EXPECT_EQ((std::vector<std::string>{"Later", tooLong}), Subkeys(key));
    EXPECT_EQ(std::vector<std::string>{tooLong}, Subkeys(key + "\\Later"));
    EXPECT_EQ(DeleteResult::kNoSuchPreset, store.RemovePreset("Fx", "Gone"));
}
#endif

} // namespace
