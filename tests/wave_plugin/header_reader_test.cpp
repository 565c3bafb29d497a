// The header reader on hand-built files: every chunk kind, sizes and pads, the format table,
// texts, cue points and truncation.
#include "wave_test_support.h"

using namespace wave_test;

namespace {

Bytes Pcm16Stereo(std::uint32_t frames) {
    return Cat({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", Bytes(frames * 4, 0x11))});
}

TEST(HeaderReader, CanonicalFileFillsPropertiesAndStopsAtTheData) {
    OpenedFile f(Riff(Pcm16Stereo(100)));
    ASSERT_TRUE(f.ok);
    WavePlugin& p = *f.plugin;
    EXPECT_EQ(44u, p.dataOffset);
    EXPECT_EQ(44, f.Position());
    EXPECT_EQ(100, p.info.frameCount);
    EXPECT_EQ(100, p.framesRemaining);
    EXPECT_EQ(44100u, p.info.sampleRate);
    EXPECT_EQ(2, p.info.channels);
    EXPECT_EQ(16, p.info.bitsPerSample);
    EXPECT_EQ(0, p.isFloat);
    EXPECT_STREQ("PCM", p.info.formatName);
    EXPECT_STREQ("RIFF Wave", p.info.containerName);
}

TEST(HeaderReader, IdentifiersMatchInAnyLetterCase) {
    OpenedFile f(Riff(Cat({Chunk("FMT ", Fmt(1, 1, 8000, 8)), Chunk("inam", Text("low")),
                           Chunk("DATA", Bytes(3, 0x80))}),
                      "riff", "wave"));
    ASSERT_TRUE(f.ok);
    EXPECT_STREQ("low", f.plugin->info.title);
    EXPECT_EQ(3, f.plugin->info.frameCount);
}

TEST(HeaderReader, NotRiffWaveFailsAtOnceAndChangesNothing) {
    Bytes body = Pcm16Stereo(4);
    for (Bytes file : {Riff(body, "RIFX"), Riff(body, "RIFF", "AVI "), Bytes{'R', 'I', 'F'}}) {
        OpenedFile f(file);
        EXPECT_FALSE(f.ok);
        EXPECT_STREQ("", f.plugin->info.containerName);
        EXPECT_EQ(0, f.plugin->info.sampleRate);
    }
}

TEST(HeaderReader, FormatTagsNameTheFormatAndOnlyPcmIsAccepted) {
    struct Case {
        std::uint16_t tag;
        const char* name;
        std::int32_t isFloat;
    } cases[] = {{2, "MS ADPCM Compressed", 0},
                 {3, "IEEE Floating Point", 1},
                 {6, "A Law Compressed", 0},
                 {7, "Mu Law Compressed", 0},
                 {16, "OKI ADPCM Compressed", 0},
                 {17, "IMA ADPCM Compressed", 0},
                 {85, "Unknown", 77}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        TempDir dir;
        PluginPtr p = NewPlugin();
        p->isFloat = 77; // an unknown tag leaves it as it was
        ASSERT_TRUE(p->OpenFile(dir.Write("a.wav", Riff(Cat({Chunk("fmt ", Fmt(c.tag, 1, 8000, 16)),
                                                             Chunk("data", Bytes(8))})))
                                    .c_str(),
                                1));
        EXPECT_FALSE(p->ReadHeader());
        EXPECT_STREQ(c.name, p->info.formatName);
        EXPECT_EQ(c.isFloat, p->isFloat);
        EXPECT_EQ(8, p->info.frameCount); // the data size in bytes
        EXPECT_EQ(8, p->framesRemaining);
    }
}

TEST(HeaderReader, FormatChunkSizesLeaveTheWalkAtTheNextChunk) {
    struct Case {
        const char* what;
        Bytes fmt;
        std::int32_t bits;
    } cases[] = {
        {"14 bytes, alignment 4, 2 channels", Fmt(1, 2, 8000, 16, 14), 16},
        {"14 bytes, alignment 0",
         [] {
             Bytes b = Fmt(1, 2, 8000, 16, 14);
             b[12] = 0;
             return b;
         }(),
         8},
        {"14 bytes, alignment 8191, 1 channel",
         [] {
             Bytes b = Fmt(1, 1, 8000, 16, 14);
             b[12] = 0xFF, b[13] = 0x1F;
             return b;
         }(),
         8 * 8191},
        {"15 bytes", Fmt(1, 1, 8000, 16, 15), 16},
        {"18 bytes, extra 0", Fmt(1, 1, 8000, 24, 18), 24},
        {"40 bytes, extra 22", Fmt(1, 1, 8000, 16, 40, 22), 16},
        {"19 bytes, extra 0 (odd, padded)", Fmt(1, 1, 8000, 16, 19), 16},
        {"18 bytes claiming extra 22", Fmt(1, 1, 8000, 16, 18, 22), 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenedFile f(Riff(
            Cat({Chunk("fmt ", c.fmt), Chunk("INAM", Text("next")), Chunk("data", Bytes(12))})));
        EXPECT_TRUE(f.ok);
        EXPECT_EQ(c.bits, f.plugin->info.bitsPerSample);
        EXPECT_STREQ("next", f.plugin->info.title);
    }
}

// Bits per sample derived from a 14-byte format chunk can exceed the 16 bits the writer keeps:
// such a file is described but not taken, so that every file read can be written back.
TEST(HeaderReader, DerivedBitsBeyondSixteenBitsAreRefused) {
    Bytes fmt = Fmt(1, 1, 8000, 16, 14);
    fmt[12] = 0, fmt[13] = 0x20; // block alignment 8192: 65536 bits
    OpenedFile f(
        Riff(Cat({Chunk("fmt ", fmt), Chunk("INAM", Text("next")), Chunk("data", Bytes(8192))})));
    EXPECT_FALSE(f.ok);
    EXPECT_EQ(8 * 8192, f.plugin->info.bitsPerSample);
    EXPECT_STREQ("next", f.plugin->info.title);
}

Bytes Extensible(std::uint16_t container, std::uint16_t valid, std::uint16_t subTag,
                 std::size_t size = 40, std::uint16_t extra = 22, bool goodSuffix = true) {
    Bytes b = Fmt(0xFFFE, 2, 48000, container, 18, extra);
    Put16(b, valid);
    Put32(b, 3);
    Put16(b, subTag);
    Bytes suffix = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (!goodSuffix)
        suffix[13] ^= 1;
    b.insert(b.end(), suffix.begin(), suffix.end());
    b.resize(size, 0);
    return b;
}

TEST(HeaderReader, ExtensibleFormatIsJudgedBySubFormat) {
    // One object for every file, as a host may use it: isFloat is set by a named format only.
    TempDir dir;
    PluginPtr p = NewPlugin();
    auto read = [&](const Bytes& fmt, std::size_t dataBytes) {
        p->CloseFile(1);
        EXPECT_TRUE(p->OpenFile(
            dir.Write("x.wav", Riff(Cat({Chunk("fmt ", fmt), Chunk("data", Bytes(dataBytes))})))
                .c_str(),
            1));
        return p->ReadHeader() != 0;
    };
    EXPECT_FALSE(read(Extensible(32, 32, 3), 8));
    EXPECT_STREQ("IEEE Floating Point", p->info.formatName);
    EXPECT_EQ(1, p->isFloat);

    for (Bytes fmt :
         {Extensible(16, 16, 0x55), Extensible(8, 8, 6), Extensible(16, 16, 1, 40, 22, false),
          Extensible(16, 16, 1, 39), Extensible(16, 16, 1, 40, 21)}) {
        EXPECT_FALSE(read(fmt, 8));
        EXPECT_STREQ("Unknown", p->info.formatName);
        EXPECT_EQ(1, p->isFloat); // unchanged
    }

    ASSERT_TRUE(read(Extensible(24, 20, 1), 60));
    EXPECT_STREQ("PCM", p->info.formatName);
    EXPECT_EQ(0, p->isFloat);
    EXPECT_EQ(24, p->info.bitsPerSample); // the container, not the valid bits
    EXPECT_EQ(10, p->info.frameCount);
    EXPECT_EQ(68u, p->dataOffset);
    EXPECT_EQ(68, std::ftell(p->file));
}

TEST(HeaderReader, PcmWithoutWholeBytesOrChannelsIsRefused) {
    Bytes noChannels = Fmt(1, 1, 8000, 16);
    noChannels[2] = 0;
    for (Bytes fmt : {noChannels, Fmt(1, 1, 8000, 0), Fmt(1, 1, 8000, 12)}) {
        OpenedFile f(Riff(Cat({Chunk("fmt ", fmt), Chunk("data", Bytes(24))})));
        EXPECT_FALSE(f.ok);
        std::vector<unsigned char> buffer(64);
        EXPECT_GE(f.plugin->ReadSamples(buffer.data(), 64), 0); // no division by zero
    }
}

TEST(HeaderReader, InfoTextsAtTopLevelAndInListsUpToTheirBuffers) {
    std::string long259(259, 't'), long260(260, 'u');
    OpenedFile f(
        Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 8)),
                  Chunk("IART", Text(long259)),               // size 260: read back whole
                  Chunk("ICOP", Text(long260)),               // size 261: skipped
                  Chunk("ICMT", Text(std::string(519, 'c'))), // size 520 into the comment
                  Chunk("LIST", Cat({Bytes{'I', 'N', 'F', 'O'}, Chunk("INAM", Text("in list")),
                                     Chunk("ICMT", Bytes(520, 'm')), // no NUL: cut at 519
                                     Chunk("IART", Text(long260)),   // size 261: skipped
                                     Chunk("ICOP", Bytes{'a', 0, 'b'})})),
                  Chunk("data", Bytes(2))})));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(long259, f.plugin->info.artist);
    EXPECT_EQ(std::string(519, 'm'), f.plugin->info.comment);
    EXPECT_STREQ("in list", f.plugin->info.title);
    EXPECT_STREQ("a", f.plugin->info.rightsNotice);
}

TEST(HeaderReader, ListWalkCountsPadsAndEndsAtTheListsEnd) {
    // Ten odd-sized sub-chunks: only with their pads counted does the walk end with the list.
    Bytes padded = {'a', 'd', 't', 'l'};
    for (int i = 0; i < 10; ++i)
        padded = Cat({padded, Chunk("labl", IdText(1, "ab"))});
    // A list that claims less than its one sub-chunk holds: the walk ends after that
    // sub-chunk and the top level goes on from there.
    Bytes overrun = {'L', 'I', 'S', 'T', 14, 0, 0, 0, 'a', 'd', 't', 'l'};
    overrun = Cat({overrun, Chunk("note", IdText(1, "overrun"))});
    OpenedFile f(Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)), Chunk("cue ", CuePoints({{1, 5}})),
                           Chunk("LIST", padded), overrun, Chunk("data", Bytes(6))})));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(3, f.plugin->info.frameCount);
    auto* cue = static_cast<CueRecord*>(f.plugin->cues.GetAt(f.plugin->cues.GetHeadPosition()));
    EXPECT_STREQ("ab", cue->label);
    EXPECT_STREQ("overrun", cue->note);
}

// Counted chunks and lists whose contents end before their declared size: the walk goes on at
// the declared end, pad included; a list too small for its type is an empty chunk.
TEST(HeaderReader, WalkGoesOnAtTheDeclaredEndOfCountedChunksAndLists) {
    Bytes spare = CuePoints({{1, 5}, {2, 150}});
    spare[0] = 1;
    Bytes none = CuePoints({{2, 150}});
    none[0] = 0;
    const Bytes segments = {1, 0, 0,   0,   1,   0,   0, 0, 9, 0, 0, 0, 1, 0,
                            0, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0, 0, 0, 0, 0};
    const struct {
        const char* what;
        Bytes chunks;
        std::int32_t cues, segments;
    } cases[] = {
        {"cue chunk with a spare point", Chunk("cue ", spare), 1, 0},
        {"cue chunk of no points with room for one", Chunk("cue ", none), 0, 0},
        {"play list with a spare segment",
         Cat({Chunk("cue ", CuePoints({{1, 5}})), Chunk("plst", segments)}), 1, 1},
        {"list of size 0", Bytes{'L', 'I', 'S', 'T', 0, 0, 0, 0}, 0, 0},
        {"list of size 2", Bytes{'L', 'I', 'S', 'T', 2, 0, 0, 0, 'd', 'a'}, 0, 0},
        {"list with spare bytes",
         Chunk("LIST", Cat({Bytes{'I', 'N', 'F', 'O'}, Chunk("INAM", Text("t")), Bytes{'d', 'a'}})),
         0, 0},
        {"list of odd size", Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'x'}), 0, 0},
        {"two cue chunks",
         Cat({Chunk("cue ", CuePoints({{1, 5}})),
              Chunk("LIST", Cat({Bytes{'a', 'd', 't', 'l'}, Chunk("labl", IdText(2, "two"))})),
              Chunk("cue ", CuePoints({{2, 7}, {3, 9}}))}),
         2, 0},
    };
    for (const auto& c : cases) {
        const Bytes head = Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)), c.chunks}));
        OpenedFile f(Riff(
            Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)), c.chunks, Chunk("data", Bytes(200, 0x11))})));
        ASSERT_TRUE(f.ok) << c.what;
        EXPECT_EQ(100, f.plugin->info.frameCount) << c.what;
        EXPECT_EQ(head.size() + 8, f.plugin->dataOffset) << c.what;
        EXPECT_EQ(c.cues, f.plugin->cueCount) << c.what;
        EXPECT_EQ(c.cues, f.plugin->cues.GetCount()) << c.what;
        EXPECT_EQ(c.segments, f.plugin->playListCount) << c.what;
    }
    OpenedFile two(
        Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)), cases[7].chunks, Chunk("data", Bytes(2))})));
    auto* first =
        static_cast<CueRecord*>(two.plugin->cues.GetAt(two.plugin->cues.GetHeadPosition()));
    EXPECT_EQ(2u, first->CueId());
    EXPECT_STREQ("two", first->label);
}

Bytes MarkerFile() {
    return Riff(Cat(
        {Chunk("fmt ", Fmt(1, 1, 8000, 16)), Chunk("odd ", Bytes(3, 'x')), Chunk("data", Bytes(40)),
         Chunk("cue ", CuePoints({{1, 10}, {2, 500}, {9, 30}})),
         Chunk("LIST", Cat({Bytes{'a', 'd', 't', 'l'}, Chunk("ltxt", Ltxt(2, 1000)),
                            Chunk("labl", IdText(1, "first")), Chunk("LABL", IdText(1, "later")),
                            Chunk("note", IdText(2, "N")), Chunk("labl", IdText(5, "nobody")),
                            Chunk("labl", IdText(9, std::string(200, 'L'))),
                            Chunk("note", IdText(9, std::string(300, 'x')))})),
         Chunk("plst", Bytes{2, 0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                             0, 0, 2, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0})}));
}

TEST(HeaderReader, CuesTextsRegionsAndPlayListAfterTheData) {
    OpenedFile f(MarkerFile());
    ASSERT_TRUE(f.ok);
    WavePlugin& p = *f.plugin;
    EXPECT_EQ(56u, p.dataOffset); // after the 3-byte chunk and its pad
    EXPECT_EQ(20, p.info.frameCount);
    EXPECT_EQ(long(p.dataOffset), f.Position());
    EXPECT_EQ(3, p.cueCount);
    EXPECT_EQ(2, p.playListCount);
    ASSERT_EQ(3, p.cues.GetCount());
    auto cue = [&](int i) { return static_cast<CueRecord*>(p.cues.GetAt(p.cues.FindIndex(i))); };
    EXPECT_STREQ("later", cue(0)->label);
    EXPECT_EQ(kMarkerPlain, cue(0)->markerType);
    EXPECT_EQ(10, cue(0)->start);
    EXPECT_EQ(kMarkerRegion, cue(1)->markerType);
    EXPECT_EQ(500, cue(1)->start);
    EXPECT_EQ(1499, cue(1)->end);
    EXPECT_STREQ("N", cue(1)->note);
    EXPECT_EQ(std::string(127, 'L'), cue(2)->label); // cut to the field
    EXPECT_STREQ("", cue(2)->note);                  // 300 bytes: not taken
    auto seg = static_cast<PlayListRecord*>(p.playList.GetAt(p.playList.FindIndex(1)));
    EXPECT_EQ(2u, seg->cueId);
    EXPECT_EQ(5u, seg->length);
}

TEST(HeaderReader, SecondHeaderReadForgetsTheFirstFilesCues) {
    TempDir dir;
    PluginPtr p = NewPlugin();
    ASSERT_TRUE(p->OpenFile(dir.Write("a.wav", MarkerFile()).c_str(), 1));
    ASSERT_TRUE(p->BeginRead());
    p->CloseFile(1);
    ASSERT_TRUE(p->OpenFile(
        dir.Write("b.wav", Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)),
                                     Chunk("cue ", CuePoints({{4, 1}})), Chunk("data", Bytes(2))})))
            .c_str(),
        1));
    ASSERT_TRUE(p->BeginRead());
    ASSERT_EQ(1, p->cues.GetCount());
    EXPECT_EQ(4u, static_cast<CueRecord*>(p->cues.GetAt(p->cues.GetHeadPosition()))->CueId());
    EXPECT_EQ(1, p->cueCount);
}

TEST(HeaderReader, EveryTruncationEndsCleanly) {
    Bytes whole = MarkerFile();
    std::size_t dataEnd = 56 + 40;
    TempDir dir;
    for (std::size_t n = 0; n <= whole.size(); ++n) {
        PluginPtr p = NewPlugin();
        ASSERT_TRUE(
            p->OpenFile(dir.Write("t.wav", Bytes(whole.begin(), whole.begin() + n)).c_str(), 1));
        bool ok = p->BeginRead() != 0;
        // The data chunk header makes the file readable; the cue chunk can be cut anywhere.
        ASSERT_EQ(n >= 56, ok) << n;
        ASSERT_LE(p->cueCount, p->cues.GetCount()) << n;
        if (n < dataEnd + 8 + 4 + 24) {
            ASSERT_EQ(0, p->cues.GetCount()) << n;
        }
        p->CloseFile(1);
    }
}

} // namespace
