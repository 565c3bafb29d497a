// The writer's bytes, compared whole, and its output read back by the reader.
#include "wave_test_support.h"

#include <algorithm>

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
        hm::SetStart(m, start);
        hm::SetEnd(m, end);
        hm::SetType(m, type);
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

// The fixed part (RIFF header and the 18-byte format chunk), then a plain file's data chunk
// header: where texts and markers begin, and where the samples of a plain file begin.
constexpr std::size_t kFixedPartBytes =
    riff::kRiffHeaderBytes + riff::kChunkHeaderBytes + riff::kFormatWrittenBytes;
constexpr std::size_t kPlainHeaderBytes = kFixedPartBytes + riff::kChunkHeaderBytes;
constexpr std::size_t kRiffSizeAt = 4;
constexpr std::size_t kPlainDataSizeAt = kFixedPartBytes + 4;

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
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
    ASSERT_EQ(kPlainHeaderBytes + samples.size(), file.size());
    EXPECT_EQ(file.size() - 8, Get32(file, kRiffSizeAt));
    EXPECT_EQ(Bytes(expected.begin() + 8, expected.end()),
              Bytes(file.begin() + 8, file.begin() + kPlainHeaderBytes));
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
        Cat({FixedHeader(0, 1, 8000, 8),
             Chunk("LIST",
                   Cat({Bytes{'I', 'N', 'F', 'O'}, Chunk("INAM", Bytes{'S', 'o', 'n', 'g', 0, 'p'}),
                        Chunk("IART", Text("Band5")), Chunk("ICOP", Text(std::string(259, 'r')))})),
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
    Bytes expected = Cat({FixedHeader(0, 1, 8000, 8),
                          Chunk("LIST", Cat({Bytes{'I', 'N', 'F', 'O'}, Chunk("ICMT", Text("C")),
                                             Chunk("ICOP", Text("R"))})),
                          Chunk("data", {})});
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
    EXPECT_EQ(kPlainHeaderBytes, dir.Read("old.wav").size());
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
        {Bytes{'a', 'd', 't', 'l'}, Sub("labl", 1, "A"), Sub("note", 1, ""), Chunk("ltxt", ltxt)});
    Bytes cue = CuePoints({{1, 500}});
    Bytes dataHeader = {'d', 'a', 't', 'a', 4, 0, 0, 0};
    Bytes expected = Cat({FixedHeader(146, 1, 8000, 16), Chunk("cue ", cue), Chunk("LIST", list),
                          dataHeader, samples});
    EXPECT_EQ(expected, file);
    // Where the parts stand: the cue chunk right after the fixed part, the list after its 36
    // bytes, the data chunk header after the list's 8 + 60 bytes.
    const std::size_t listAt = kFixedPartBytes + 36, dataAt = listAt + 8 + 60;
    EXPECT_EQ(Bytes({'c', 'u', 'e', ' '}), Slice(file, kFixedPartBytes, 4));
    EXPECT_EQ(Bytes({'L', 'I', 'S', 'T'}), Slice(file, listAt, 4));
    EXPECT_EQ(60u, Get32(file, listAt + 4));
    EXPECT_EQ(Bytes({'d', 'a', 't', 'a'}), Slice(file, dataAt, 4));
    EXPECT_EQ(dataAt + 8 + samples.size(), file.size());
}

TEST(Writer, MarkerIdsTypesTextsAndPlayList) {
    Writing w(2, 16, 44100, 0);
    unsigned char* a = w.Marker(2, 10, 0, "", "n1");
    w.host.markers.AddTail(nullptr); // passed over, not counted
    unsigned char* b = w.Marker(3, 100, 199, std::string(127, 'x').c_str(), "");
    unsigned char* c = w.Marker(5, 300, 300, "c", "");
    std::memset(c + hm::kNote, 'z', 128); // no NUL: cut at 127
    unsigned char outside[kMarkerRecordBytes] = {};
    hm::SetEnd(outside, 4);
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
        Cat({Bytes{'a', 'd', 't', 'l'}, Sub("labl", 1, ""), Sub("labl", 2, std::string(127, 'x')),
             Sub("labl", 3, "c"), Sub("note", 1, "n1"), Sub("note", 2, ""),
             Sub("note", 3, std::string(127, 'z')), Chunk("ltxt", Ltxt(2, 100)),
             Chunk("ltxt", Ltxt(3, 1))});
    Bytes plst;
    for (std::uint32_t v : {3u, 1u, 1u, 4u, 5u, 1u, 1u, 4294967287u, 1u})
        Put32(plst, v);
    Bytes count;
    Put32(count, 3);
    Bytes expected =
        Cat({FixedHeader(0, 2, 44100, 16), Chunk("cue ", CuePoints({{1, 10}, {2, 100}, {3, 300}})),
             Chunk("LIST", list), Chunk("plst", Cat({count, plst})),
             Bytes{'d', 'a', 't', 'a', 0, 0, 0, 0}});
    EXPECT_EQ(Bytes(expected.begin() + 8, expected.end()), Bytes(file.begin() + 8, file.end()));
    // The 127-character label takes the whole field: its sub-chunk's size is 4 + 128.
    Bytes longLabel = Sub("labl", 2, std::string(127, 'x'));
    auto at = std::search(file.begin(), file.end(), longLabel.begin(), longLabel.end());
    ASSERT_NE(file.end(), at);
    EXPECT_EQ(4u + host_marker::kTextBytes, Get32(file, std::size_t(at - file.begin()) + 4));
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
    EXPECT_EQ(kPlainHeaderBytes, w.Finish().size());

    // A play list while no marker list is attached at all.
    Writing none(1, 16, 8000, 0);
    none.host.AddEntry(none.host.AddMarker());
    none.plugin->hostPlayList = &none.host.entries;
    none.plugin->WriteHeader();
    EXPECT_EQ(kPlainHeaderBytes, none.Finish().size());
}

// The close sizes the data chunk from what was written, whatever the header declared; a file
// whose frames match stays as the header wrote it, and one without a header stays empty.
TEST(Writer, CloseSizesTheDataChunkFromTheFramesWritten) {
    const struct {
        const char* what;
        std::int64_t declared;
        std::int32_t written;
        bool marker;
    } cases[] = {{"fewer", 10, 4, false},
                 {"more", 4, 10, false},
                 {"as declared", 6, 6, false},
                 {"none", 5, 0, false},
                 {"fewer after markers", 10, 3, true},
                 {"more after markers", 2, 7, true}};
    const Bytes samples(40, 0x11);
    for (const auto& c : cases) {
        Writing w(1, 16, 8000, c.declared);
        if (c.marker)
            w.Marker(kMarkerRegion, 1, 3, "verse", "note");
        ASSERT_TRUE(w.plugin->WriteHeader());
        std::fflush(w.plugin->file);
        const std::size_t header = w.dir.Read("out.wav").size();
        EXPECT_EQ(c.written, w.plugin->WriteSamples(const_cast<unsigned char*>(samples.data()),
                                                    c.written * 2, c.written));
        Bytes file = w.Finish();
        ASSERT_EQ(header + std::size_t(c.written) * 2, file.size()) << c.what;
        EXPECT_EQ(file.size() - 8, Get32(file, kRiffSizeAt)) << c.what;
        EXPECT_EQ(std::uint32_t(c.written) * 2, Get32(file, header - 4)) << c.what;
        PluginPtr r = NewPlugin();
        ASSERT_TRUE(r->OpenFile(w.dir.Path("out.wav").c_str(), 1));
        ASSERT_TRUE(r->BeginRead()) << c.what;
        EXPECT_EQ(c.written, r->info.frameCount) << c.what;
        EXPECT_EQ(c.marker ? 1 : 0, r->cueCount) << c.what;
        r->CloseFile(1);
    }

    Writing none(1, 16, 8000, 10);
    EXPECT_EQ(Bytes(), none.Finish());
}

TEST(Writer, EightBitConversionAndDataSizeInSixtyFourBits) {
    Writing w(1, 8, 8000, 5);
    w.plugin->WriteHeader();
    Bytes samples = {0x00, 0x7F, 0x80, 0xFF, 0x01};
    EXPECT_EQ(5, w.plugin->WriteSamples(samples.data(), 5, 5));
    EXPECT_EQ((Bytes{0x80, 0xFF, 0x00, 0x7F, 0x81}), samples);
    EXPECT_EQ(3, w.plugin->WriteSamples(samples.data(), 3, 5)); // never past the buffer
    Bytes file = w.Finish();
    EXPECT_EQ(kPlainHeaderBytes + 8, file.size()); // no pad byte after odd data
    EXPECT_EQ(0x81, file[kPlainHeaderBytes + 4]);
}

// The largest recording a RIFF file holds, and one frame more: the RIFF size (the file less its
// first 8 bytes) must fit in 32 bits, else the header takes the RF64 layout.
TEST(Writer, PastFourGiBTheHeaderTakesTheRf64Layout) {
    const std::uint64_t riffLimit = 0xFFFFFFFF;
    const std::int64_t largest = static_cast<std::int64_t>((riffLimit + 8 - kPlainHeaderBytes) / 4);
    Writing fits(2, 16, 48000, largest);
    fits.plugin->WriteHeader();
    // Only the last frame is written, so that the file stays sparse.
    const Bytes frame = {1, 2, 3, 4};
    ASSERT_EQ(0, fseeko64(fits.plugin->file, std::int64_t(kPlainHeaderBytes) + (largest - 1) * 4,
                          SEEK_SET));
    fits.plugin->WriteSamples(const_cast<unsigned char*>(frame.data()), 4, 1);
    fits.plugin->CloseFile(0);
    Bytes small(kPlainHeaderBytes);
    {
        std::ifstream in(fits.dir.Path("out.wav"), std::ios::binary);
        in.read(reinterpret_cast<char*>(small.data()), std::streamsize(small.size()));
    }
    EXPECT_EQ(kPlainHeaderBytes + largest * 4 - 8, Get32(small, kRiffSizeAt));
    EXPECT_EQ(std::uint32_t(largest * 4), Get32(small, kPlainDataSizeAt));
    EXPECT_EQ('R', small[0]);
    EXPECT_EQ('I', small[1]);

    // 1,000,000,000 frames of 24-bit stereo: 6,000,000,000 bytes of samples. The stream skips
    // to the last frames so that the file stays sparse.
    const std::int64_t frames = 1000000000, frameBytes = 6;
    const std::uint64_t dataBytes = std::uint64_t(frames * frameBytes);
    Writing big(2, 24, 48000, frames);
    ASSERT_TRUE(big.plugin->WriteHeader());
    const std::int64_t header =
        kPlainHeaderBytes + riff::kChunkHeaderBytes + riff::kDs64WrittenBytes;
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
    const std::size_t ds64 = riff::kRiffHeaderBytes + riff::kChunkHeaderBytes;
    EXPECT_EQ(header + dataBytes - 8, u64(ds64 + riff::kDs64RiffSize)); // filled in at close
    EXPECT_EQ(dataBytes, u64(ds64 + riff::kDs64DataSize));
    EXPECT_EQ(std::uint64_t(frames), u64(ds64 + riff::kDs64SampleCount));
    EXPECT_EQ(0u, Get32(head, ds64 + riff::kDs64TableLength));
    EXPECT_EQ(Bytes({'f', 'm', 't', ' '}), Slice(head, ds64 + riff::kDs64WrittenBytes, 4));
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

    // A recording stopped early: the ds64 sizes and sample count say what was written. One
    // that a RIFF header declared small but that grew past 4 GiB says the largest sizes.
    struct Short {
        std::int64_t declared;
        std::int64_t written;
    };
    for (const Short& c : {Short{frames, 900000000}, Short{2, 800000000}}) {
        Writing w(2, 24, 48000, c.declared);
        ASSERT_TRUE(w.plugin->WriteHeader());
        const std::int64_t at = std::ftell(w.plugin->file);
        ASSERT_EQ(0, fseeko64(w.plugin->file, at + (c.written - 2) * frameBytes, SEEK_SET));
        EXPECT_EQ(2, w.plugin->WriteSamples(last.data(), 12, 2));
        w.plugin->CloseFile(0);
        std::ifstream file(w.dir.Path("out.wav"), std::ios::binary);
        file.read(reinterpret_cast<char*>(head.data()), at);
        const std::uint64_t bytes = std::uint64_t(c.written * frameBytes);
        if (at == header) {
            EXPECT_EQ(at + bytes - 8, u64(ds64 + riff::kDs64RiffSize));
            EXPECT_EQ(bytes, u64(ds64 + riff::kDs64DataSize));
            EXPECT_EQ(std::uint64_t(c.written), u64(ds64 + riff::kDs64SampleCount));
        } else {
            EXPECT_EQ(std::int64_t(kPlainHeaderBytes), at);
            EXPECT_EQ(0xFFFFFFFFu, Get32(head, kRiffSizeAt));
            EXPECT_EQ(0xFFFFFFFFu, Get32(head, kPlainDataSizeAt));
        }
    }
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
    EXPECT_EQ("one", std::string(hm::Label(h[0])));
    EXPECT_EQ("first", std::string(hm::Note(h[0])));
    EXPECT_EQ(5, hm::Type(h[0]));
    EXPECT_EQ(3, hm::Type(h[1]));
    EXPECT_EQ(1499, hm::End(h[1]));
    EXPECT_EQ(h[0], host_play_list_entry::Marker(e));
    r->CloseFile(1);
}

} // namespace
