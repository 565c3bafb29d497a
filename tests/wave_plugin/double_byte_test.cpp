// Texts of a double-byte code page (natively 932's lead bytes): cuts to a field end on a whole
// character, and the file name starts after the last "\" character, not at a trail byte.
#include "double_byte.h"
#include "wave_test_support.h"

using namespace wave_test;

namespace {

class DoubleByteWave : public ::testing::Test {
protected:
    // n characters, each a lead byte and a trail byte.
    std::string Wide(size_t n) const {
        std::string text;
        for (size_t i = 0; i < n; ++i)
            text += codePage.texts().backslashTrail;
        return text;
    }
    Bytes Unterminated(size_t n) const {
        const std::string text = Wide(n);
        return Bytes(text.begin(), text.end());
    }
    double_byte::SystemCodePage codePage;
};

TEST_F(DoubleByteWave, ReaderAndWriterCutTextsOnWholeCharacters) {
    DOUBLE_BYTE_ONLY(codePage);
    // 70 characters, 140 bytes, for a 128-byte label field; a title of 260 bytes without NUL
    // for a 260-byte field.
    OpenedFile f(
        Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)),
                  Chunk("LIST", Cat({Bytes{'I', 'N', 'F', 'O'}, Chunk("INAM", Unterminated(130))})),
                  Chunk("cue ", CuePoints({{1, 0}})),
                  Chunk("LIST", Cat({Bytes{'a', 'd', 't', 'l'}, Chunk("labl", IdText(1, Wide(70))),
                                     Chunk("note", IdText(1, "x" + Wide(70)))})),
                  Chunk("data", Bytes(4))})));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(Wide(129), f.plugin->info.title);
    auto* cue = static_cast<CueRecord*>(f.plugin->cues.GetAt(f.plugin->cues.GetHeadPosition()));
    EXPECT_EQ(Wide(63), cue->label);
    EXPECT_EQ("x" + Wide(63), cue->note);

    // A host label that fills its field without a NUL is cut before the lead byte at 127.
    TempDir dir;
    PluginPtr w = NewPlugin();
    ASSERT_TRUE(w->OpenFile(dir.Path("out.wav").c_str(), 0));
    w->info.channels = 1;
    w->info.bitsPerSample = 16;
    w->info.sampleRate = 8000;
    HostSide host;
    unsigned char* m = host.AddMarker(0);
    std::memcpy(m + host_marker::kLabel, Wide(64).data(), 128);
    host_marker::SetType(m, 2);
    w->hostMarkers = &host.markers;
    w->WriteHeader();
    w->CloseFile(0);
    const Bytes file = dir.Read("out.wav");
    // 126 bytes, the NUL, and the field's next byte as the pad.
    Bytes label = Chunk("labl", Cat({IdText(1, Wide(63)), Bytes{0x5C}}));
    EXPECT_NE(file.end(), std::search(file.begin(), file.end(), label.begin(), label.end()));
}

TEST_F(DoubleByteWave, FileNameStartsAfterTheLastBackslashCharacter) {
    DOUBLE_BYTE_ONLY(codePage);
    TempDir dir;
    const std::string name = std::string(codePage.texts().otherBackslashTrail) + "ng.wav";
    const std::string path =
        dir.Write(name, Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)), Chunk("data", Bytes(4))})));
    PluginPtr p = NewPlugin();
    ASSERT_TRUE(p->OpenFile(path.c_str(), 1));
    ASSERT_TRUE(p->BeginRead());
#ifdef _WIN32
    EXPECT_EQ(name, p->info.fileName);
#else
    EXPECT_EQ(path, p->info.fileName); // no "\\" in a native path
#endif
    p->CloseFile(1);
}

} // namespace
