// The writer's bytes, compared whole, and its output read back by the reader.
#include "wave_test_support.h"

#include "riff_bytes.h"

using namespace wave_test;
namespace hm = host_marker;

namespace {

struct Writing {
    TempDir dir;
    PluginPtr plugin = NewPlugin();
    HostSide host;
    Writing(std::int32_t channels, std::int32_t bits, std::uint32_t rate, std::int64_t frames) {
        EXPECT_TRUE(plugin->OpenFile(dir.Path("out.wav").c_str(), 0));
        plugin->info.channels = channels;
        plugin->info.bitsPerSample = bits;
        plugin->info.sampleRate = rate;
        plugin->info.frameCount = frames;
    }
    unsigned char* Marker(std::int32_t type, std::int64_t start, std::int64_t end,
                          const char* label, const char* note) {
        unsigned char* m = host.AddMarker(0);
        std::strcpy(reinterpret_cast<char*>(m + hm::kLabel), label);
        std::strcpy(reinterpret_cast<char*>(m + hm::kNote), note);
        SetI64(m, hm::kStart, start);
        SetI64(m, hm::kEnd, end);
        SetI32(m, hm::kMarkerType, type);
        plugin->hostMarkers = &host.markers;
        return m;
    }
    Bytes Finish() {
        plugin->CloseFile(0);
        return dir.Read("out.wav");
    }
};

// A "labl" or "note" sub-chunk as the writer forms it: the pad byte counts in the size.
Bytes Sub(const char* id, std::uint32_t cue, const std::string& text) {
    Bytes body = IdText(cue, text);
    if (body.size() & 1)
        body.push_back(0);
    return Chunk(id, body);
}

Bytes FixedHeader(std::uint32_t riffSize, std::uint16_t channels, std::uint32_t rate,
                  std::uint16_t bits) {
    Bytes b = Riff(Chunk("fmt ", Fmt(1, channels, rate, bits, 18)));
    b[4] = riffSize & 0xFF, b[5] = (riffSize >> 8) & 0xFF, b[6] = (riffSize >> 16) & 0xFF,
    b[7] = riffSize >> 24;
    return b;
}

TEST(Writer, PlainHeaderAndTheSizePatchAtClose) {
    Writing w(2, 16, 44100, 1000);
    ASSERT_TRUE(w.plugin->WriteHeader());
    EXPECT_STREQ("RIFF Wave", w.plugin->info.containerName);
    std::fflush(w.plugin->file);
    Bytes expected = Cat({FixedHeader(0xFFFFFFFF, 2, 44100, 16), Bytes{'d', 'a', 't', 'a'}});
    Put32(expected, 4000);
    EXPECT_EQ(expected, w.dir.Read("out.wav"));
    Bytes samples(4000, 0x5A);
    EXPECT_EQ(1000, w.plugin->WriteSamples(samples.data(), 4000, 1000));
    EXPECT_EQ(0x5A, samples[0]); // 16-bit buffers stay as they are
    Bytes file = w.Finish();
    ASSERT_EQ(4046u, file.size());
    EXPECT_EQ(4038u, Get32(file, 4));
    EXPECT_EQ(Bytes(expected.begin() + 8, expected.end()),
              Bytes(file.begin() + 8, file.begin() + 46));
}

TEST(Writer, InfoTextsInFixedOrderWithPadsAndCuts) {
    Writing w(1, 8, 8000, 0);
    std::strcpy(w.plugin->info.artist, "Band5"); // 5 characters: size 6, no pad
    std::strcpy(w.plugin->info.title, "Song");   // 4 characters: size 6, pad from buffer
    w.plugin->info.title[5] = 'p';
    std::memset(w.plugin->info.rightsNotice, 'r', 260); // no NUL: cut at 259
    w.plugin->WriteHeader();
    Bytes file = w.Finish();
    Bytes expected =
        Cat({FixedHeader(0, 1, 8000, 8), Chunk("INAM", Bytes{'S', 'o', 'n', 'g', 0, 'p'}),
             Chunk("IART", Text("Band5")), Chunk("ICOP", Text(std::string(259, 'r'))),
             Chunk("data", {})});
    ASSERT_EQ(expected.size(), file.size());
    EXPECT_EQ(Bytes(expected.begin() + 8, expected.end()), Bytes(file.begin() + 8, file.end()));
}

TEST(Writer, CommentComesBeforeTheRightsNotice) {
    Writing w(1, 8, 8000, 0);
    std::strcpy(w.plugin->info.rightsNotice, "R");
    std::strcpy(w.plugin->info.comment, "C");
    w.plugin->WriteHeader();
    Bytes file = w.Finish();
    Bytes expected = Cat({FixedHeader(0, 1, 8000, 8), Chunk("ICMT", Text("C")),
                          Chunk("ICOP", Text("R")), Chunk("data", {})});
    EXPECT_EQ(Bytes(expected.begin() + 8, expected.end()), Bytes(file.begin() + 8, file.end()));
}

TEST(Writer, OpeningForWritingTruncates) {
    TempDir dir;
    std::string path = dir.Write("old.wav", Bytes(1000, 0x77));
    PluginPtr p = NewPlugin();
    ASSERT_TRUE(p->OpenFile(path.c_str(), 0));
    p->info.channels = 1;
    p->info.bitsPerSample = 16;
    p->WriteHeader();
    p->CloseFile(0);
    EXPECT_EQ(46u, dir.Read("old.wav").size());
}

TEST(Writer, MarkerBlockLayout) {
    Writing w(1, 16, 8000, 2);
    w.Marker(3, 500, 1499, "A", "");
    w.plugin->WriteHeader();
    Bytes samples = {1, 2, 3, 4};
    w.plugin->WriteSamples(samples.data(), 4, 2);
    Bytes file = w.Finish();
    Bytes ltxt = Ltxt(1, 1000);
    Bytes list = Cat(
        {Bytes{'a', 'd', 't', 'l'}, Chunk("ltxt", ltxt), Sub("labl", 1, "A"), Sub("note", 1, "")});
    Bytes cue = CuePoints({{1, 500}});
    Bytes dataHeader = {'d', 'a', 't', 'a', 4, 0, 0, 0};
    Bytes expected = Cat({FixedHeader(146, 1, 8000, 16), Chunk("CUE ", cue), Chunk("list", list),
                          dataHeader, samples});
    EXPECT_EQ(expected, file);
    EXPECT_EQ(74u, 38 + 8 + cue.size());
    EXPECT_EQ(60u, Get32(file, 78));
}

TEST(Writer, MarkerIdsTypesTextsAndPlayList) {
    Writing w(2, 16, 44100, 0);
    unsigned char* a = w.Marker(2, 10, 0, "", "n1");
    w.host.markers.AddTail(nullptr); // passed over, not counted
    unsigned char* b = w.Marker(3, 100, 199, std::string(127, 'x').c_str(), "");
    unsigned char* c = w.Marker(5, 300, 300, "c", "");
    std::memset(c + hm::kNote, 'z', 128); // no NUL: cut at 127
    unsigned char outside[kMarkerRecordBytes] = {};
    SetI64(outside, hm::kEnd, 4);
    w.host.AddEntry(c);
    w.host.AddEntry(nullptr); // no marker: left out
    w.host.entries.AddTail(nullptr);
    w.host.AddEntry(outside); // not in the list: one past the last
    w.host.AddEntry(a);
    w.plugin->hostPlayList = &w.host.entries;
    (void)b;
    w.plugin->WriteHeader();
    Bytes file = w.Finish();

    Bytes list =
        Cat({Bytes{'a', 'd', 't', 'l'}, Chunk("ltxt", Ltxt(2, 100)), Chunk("ltxt", Ltxt(3, 1)),
             Sub("labl", 1, ""), Sub("labl", 2, std::string(127, 'x')), Sub("labl", 3, "c"),
             Sub("note", 1, "n1"), Sub("note", 2, ""), Sub("note", 3, std::string(127, 'z'))});
    Bytes plst;
    for (std::uint32_t v : {3u, 1u, 1u, 4u, 5u, 1u, 1u, 4294967287u, 1u})
        Put32(plst, v);
    Bytes count;
    Put32(count, 3);
    Bytes expected =
        Cat({FixedHeader(0, 2, 44100, 16), Chunk("CUE ", CuePoints({{1, 10}, {2, 100}, {3, 300}})),
             Chunk("list", list), Chunk("plst", Cat({count, plst})),
             Bytes{'d', 'a', 't', 'a', 0, 0, 0, 0}});
    EXPECT_EQ(Bytes(expected.begin() + 8, expected.end()), Bytes(file.begin() + 8, file.end()));
    EXPECT_EQ(132u, Get32(file, 38 + 8 + 76 + 12 + 28 + 28 + 14 + 4));
}

TEST(Writer, EntryNamesTheFirstPositionOfAMarkerListedTwice) {
    Writing w(1, 16, 8000, 0);
    unsigned char* a = w.Marker(2, 7, 9, "", "");
    w.Marker(2, 8, 8, "", "");
    w.host.markers.AddTail(a);
    w.host.AddEntry(a);
    w.plugin->hostPlayList = &w.host.entries;
    w.plugin->WriteHeader();
    Bytes file = w.Finish();
    Bytes plst = Chunk("plst", Bytes{1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0});
    Bytes tail(file.end() - static_cast<long>(plst.size() + 8), file.end() - 8);
    EXPECT_EQ(plst, tail);
}

TEST(Writer, EmptyMarkerListWritesNoMarkerChunks) {
    Writing w(1, 16, 8000, 0);
    w.plugin->hostMarkers = &w.host.markers;
    w.host.AddEntry(w.host.AddMarker());
    w.host.markers.RemoveAll();
    w.plugin->hostPlayList = &w.host.entries;
    w.plugin->WriteHeader();
    EXPECT_EQ(46u, w.Finish().size());

    // A play list while no marker list is attached at all.
    Writing none(1, 16, 8000, 0);
    none.host.AddEntry(none.host.AddMarker());
    none.plugin->hostPlayList = &none.host.entries;
    none.plugin->WriteHeader();
    EXPECT_EQ(46u, none.Finish().size());
}

TEST(Writer, EightBitConversionAndDataSizeInSixtyFourBits) {
    Writing w(1, 8, 8000, 5);
    w.plugin->WriteHeader();
    Bytes samples = {0x00, 0x7F, 0x80, 0xFF, 0x01};
    EXPECT_EQ(5, w.plugin->WriteSamples(samples.data(), 5, 5));
    EXPECT_EQ((Bytes{0x80, 0xFF, 0x00, 0x7F, 0x81}), samples);
    EXPECT_EQ(3, w.plugin->WriteSamples(samples.data(), 3, 5)); // never past the buffer
    Bytes file = w.Finish();
    EXPECT_EQ(46u + 8u, file.size()); // no pad byte after odd data
    EXPECT_EQ(0x81, file[50]);
}

// The largest recording a RIFF file holds, and one frame more: the RIFF size (the file less its
// first 8 bytes) must fit in 32 bits, else the header takes the RF64 layout.
TEST(Writer, PastFourGiBTheHeaderTakesTheRf64Layout) {
    const std::uint64_t riffLimit = 0xFFFFFFFF;
    const std::uint64_t plainHeader = 46;
    const std::int64_t largest = static_cast<std::int64_t>((riffLimit + 8 - plainHeader) / 4);
    Writing fits(2, 16, 48000, largest);
    fits.plugin->WriteHeader();
    Bytes small = fits.Finish();
    ASSERT_EQ(plainHeader, small.size());
    EXPECT_EQ(std::uint32_t(largest * 4), Get32(small, 42));
    EXPECT_EQ('R', small[0]);
    EXPECT_EQ('I', small[1]);

    // 1,000,000,000 frames of 24-bit stereo: 6,000,000,000 bytes of samples. The stream skips
    // to the last frames so that the file stays sparse.
    const std::int64_t frames = 1000000000, frameBytes = 6;
    const std::uint64_t dataBytes = std::uint64_t(frames * frameBytes);
    Writing big(2, 24, 48000, frames);
    ASSERT_TRUE(big.plugin->WriteHeader());
    const std::int64_t header = 12 + 8 + riff::kDs64WrittenBytes + 26 + 8;
    ASSERT_EQ(header, std::ftell(big.plugin->file));
    Bytes last = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_EQ(0, fseeko64(big.plugin->file, header + std::int64_t(dataBytes) - 12, SEEK_SET));
    EXPECT_EQ(2, big.plugin->WriteSamples(last.data(), 12, 2));
    big.plugin->CloseFile(0);
    std::ifstream in(big.dir.Path("out.wav"), std::ios::binary);
    Bytes head(header);
    in.read(reinterpret_cast<char*>(head.data()), header);
    auto u64 = [&](std::size_t at) {
        return Get32(head, at) | std::uint64_t(Get32(head, at + 4)) << 32;
    };
    EXPECT_EQ(Bytes({'R', 'F', '6', '4', 255, 255, 255, 255, 'W', 'A',
                     'V', 'E', 'd', 's', '6', '4', 28,  0,   0,   0}),
              Bytes(head.begin(), head.begin() + 20));
    EXPECT_EQ(header + dataBytes - 8, u64(20)); // the RIFF size, filled in at close
    EXPECT_EQ(dataBytes, u64(28));
    EXPECT_EQ(std::uint64_t(frames), u64(36));
    EXPECT_EQ(0u, Get32(head, 44)); // no table
    EXPECT_EQ(Bytes({'f', 'm', 't', ' '}), Bytes(head.begin() + 48, head.begin() + 52));
    EXPECT_EQ(Bytes({'d', 'a', 't', 'a', 255, 255, 255, 255}), Bytes(head.end() - 8, head.end()));

    // Read back: every frame is counted and the last ones lie where they were written.
    PluginPtr r = NewPlugin();
    ASSERT_TRUE(r->OpenFile(big.dir.Path("out.wav").c_str(), 1));
    ASSERT_TRUE(r->BeginRead());
    EXPECT_EQ(frames, r->info.frameCount);
    EXPECT_EQ(std::uint32_t(header), r->dataOffset);
    ASSERT_TRUE(r->SeekFrame(std::int32_t(frames - 2)));
    Bytes back(12);
    EXPECT_EQ(2, r->ReadSamples(back.data(), 12));
    EXPECT_EQ(last, back);
    r->CloseFile(1);
}

TEST(Writer, OutputReadsBackWithEverything) {
    Writing w(2, 16, 22050, 3);
    std::strcpy(w.plugin->info.title, "T");
    std::memset(w.plugin->info.comment, 'c', 519);
    unsigned char* m0 = w.Marker(2, 1, 0, "one", "first");
    w.Marker(3, 500, 1499, "two", "");
    w.host.AddEntry(m0);
    w.plugin->hostPlayList = &w.host.entries;
    w.plugin->WriteHeader();
    Bytes samples(12, 7);
    w.plugin->WriteSamples(samples.data(), 12, 3);
    w.Finish();

    PluginPtr r = NewPlugin();
    ASSERT_TRUE(r->OpenFile(w.dir.Path("out.wav").c_str(), 1));
    ASSERT_TRUE(r->BeginRead());
    EXPECT_EQ(3, r->info.frameCount);
    EXPECT_STREQ("T", r->info.title);
    EXPECT_EQ(std::string(519, 'c'), r->info.comment);
    HostSide host;
    unsigned char* h[2] = {host.AddMarker(), host.AddMarker()};
    unsigned char* e = host.AddEntry(nullptr);
    r->hostMarkers = &host.markers;
    r->hostPlayList = &host.entries;
    EXPECT_EQ(3, r->ReadSamples(samples.data(), 12));
    EXPECT_EQ("one", Str(h[0], hm::kLabel));
    EXPECT_EQ("first", Str(h[0], hm::kNote));
    EXPECT_EQ(5, I32(h[0], hm::kMarkerType));
    EXPECT_EQ(3, I32(h[1], hm::kMarkerType));
    EXPECT_EQ(1499, I64(h[1], hm::kEnd));
    EXPECT_EQ(h[0], EntryMarker(e));
    r->CloseFile(1);
}

} // namespace
