// Frames into the host's buffer, seeking, the stream guards, and the hand-over into host lists.
#include "wave_test_support.h"

using namespace wave_test;
namespace hm = host_marker;

// A field of the host's marker record between end and markerType that the plug-in never touches.
constexpr std::size_t kHostOwnField = 0x110;

namespace {

Bytes Counting16Stereo(std::uint32_t frames) {
    Bytes data;
    for (std::uint32_t i = 0; i < frames * 2; ++i)
        Put16(data, i);
    return Riff(Cat({Chunk("fmt ", Fmt(1, 2, 44100, 16)), Chunk("data", data),
                     Chunk("INAM", Text("after the data"))}));
}

TEST(SampleReader, WholeFramesUpToTheBufferAndTheRemainder) {
    OpenedFile f(Counting16Stereo(10000));
    ASSERT_TRUE(f.ok);
    Bytes buffer(4097, 0xEE);
    EXPECT_EQ(1024, f.plugin->ReadSamples(buffer.data(), 4097));
    EXPECT_EQ(8976, f.plugin->framesRemaining);
    EXPECT_EQ(0xEE, buffer[4096]); // the extra byte is untouched
    EXPECT_EQ(1u, Get32(buffer, 0) >> 16);
    EXPECT_EQ(2047u, Get32(buffer, 4092) >> 16);
    EXPECT_EQ(0, f.plugin->ReadSamples(buffer.data(), 3)); // smaller than a frame
    int total = 1024;
    while (int n = f.plugin->ReadSamples(buffer.data(), 4096))
        total += n;
    EXPECT_EQ(10000, total); // never past the data chunk
    EXPECT_EQ(0, f.plugin->framesRemaining);
}

TEST(SampleReader, EightBitSamplesArriveSigned) {
    OpenedFile f(Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 8)), Chunk("data", {0x80, 0xFF, 0x00})})));
    ASSERT_TRUE(f.ok);
    Bytes buffer(8, 0x55);
    EXPECT_EQ(3, f.plugin->ReadSamples(buffer.data(), 8));
    EXPECT_EQ((Bytes{0x00, 0x7F, 0x80, 0x55}), Bytes(buffer.begin(), buffer.begin() + 4));
}

TEST(SampleReader, SeekMovesAndResetsWhatRemains) {
    OpenedFile f(Counting16Stereo(100));
    ASSERT_TRUE(f.ok);
    Bytes buffer(4096);
    EXPECT_EQ(100, f.plugin->ReadSamples(buffer.data(), 4096));
    EXPECT_EQ(1, f.plugin->SeekFrame(0)); // back to the start after reading everything
    EXPECT_EQ(44, f.Position());
    EXPECT_EQ(100, f.plugin->ReadSamples(buffer.data(), 4096));
    EXPECT_EQ(1, f.plugin->SeekFrame(90));
    EXPECT_EQ(44 + 360, f.Position());
    EXPECT_EQ(10, f.plugin->ReadSamples(buffer.data(), 4096)); // not into the INAM chunk
    EXPECT_EQ(180u, Get32(buffer, 0) & 0xFFFF);
    EXPECT_EQ(0, f.plugin->SeekFrame(-1));
    EXPECT_EQ(44 + 400, f.Position());
    EXPECT_EQ(1, f.plugin->SeekFrame(150));
    EXPECT_EQ(0, f.plugin->framesRemaining);
    EXPECT_EQ(1, f.plugin->SeekFrame(100000000)); // frame x channels x bits needs 64 bits
    EXPECT_EQ(44 + 400000000, f.Position());
}

TEST(SampleReader, HugeDataSizeKeepsTheCountPositive) {
    Bytes file = Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 8)), Chunk("data", Bytes(6))}));
    file[40] = file[41] = file[42] = file[43] = 0xFF; // the data size
    OpenedFile f(file);
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(4294967295, f.plugin->info.frameCount);
    EXPECT_EQ(2147483647, f.plugin->framesRemaining);
    Bytes buffer(64);
    EXPECT_EQ(6, f.plugin->ReadSamples(buffer.data(), 64));
}

// A 16-bit mono RF64 recording of more than 2^31 - 1 frames, sparse: the host's field shows at
// most 2^31 - 1 frames, and reading from the start delivers every frame.
TEST(SampleReader, EveryFrameOfARecordingLongerThanTheHostsFieldIsDelivered) {
    const std::int64_t frames = std::int64_t(INT32_MAX) + 1000;
    const Bytes last = {1, 2, 3, 4};
    TempDir dir;
    const std::string path = dir.Path("long.wav");
    {
        PluginPtr w = NewPlugin();
        ASSERT_TRUE(w->OpenFile(path.c_str(), 0));
        w->info.channels = 1;
        w->info.bitsPerSample = 16;
        w->info.sampleRate = 48000;
        w->info.frameCount = frames;
        ASSERT_TRUE(w->WriteHeader());
        const std::int64_t data = std::ftell(w->file);
        ASSERT_EQ(0, fseeko64(w->file, data + (frames - 2) * 2, SEEK_SET));
        Bytes tail = last;
        EXPECT_EQ(2, w->WriteSamples(tail.data(), 4, 2));
        w->CloseFile(0);
    }
    PluginPtr r = NewPlugin();
    ASSERT_TRUE(r->OpenFile(path.c_str(), 1));
    ASSERT_TRUE(r->BeginRead());
    EXPECT_EQ(frames, r->info.frameCount);
    EXPECT_EQ(INT32_MAX, r->framesRemaining);
    Bytes buffer(std::size_t(1) << 26);
    std::int64_t total = 0;
    std::int32_t n = 0;
    for (std::int32_t got; (got = r->ReadSamples(buffer.data(), std::int32_t(buffer.size()))) > 0;)
        total += n = got;
    EXPECT_EQ(frames, total);
    EXPECT_EQ(0, r->framesRemaining);
    ASSERT_GE(n, 2);
    EXPECT_EQ(last, Bytes(buffer.begin() + (n - 2) * 2, buffer.begin() + n * 2));
    r->CloseFile(1);
}

TEST(SampleReader, NoStreamNoSizeNoHarm) {
    OpenedFile f(Counting16Stereo(10));
    ASSERT_TRUE(f.ok);
    Bytes buffer(64);
    EXPECT_EQ(0, f.plugin->ReadSamples(buffer.data(), -4));
    f.plugin->CloseFile(1);
    EXPECT_EQ(nullptr, f.plugin->file);
    EXPECT_EQ(0, f.plugin->ReadSamples(buffer.data(), 64));
    EXPECT_EQ(0, f.plugin->SeekFrame(0));
    EXPECT_EQ(0, f.plugin->ReadHeader());
    EXPECT_EQ(0, f.plugin->WriteHeader());
    EXPECT_EQ(0, f.plugin->WriteSamples(buffer.data(), 64, 1));
    f.plugin->CloseFile(0); // a second close touches nothing
}

// Cues 1 plain at 10 with label and note, 2 a region 500..1499, 3 a region whose end is its
// start, 4 plain at 40; play list: segment for cue 3, then for cue 4.
Bytes HandOverFile() {
    return Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)), Chunk("data", Bytes(4)),
                     Chunk("cue ", CuePoints({{1, 10}, {2, 500}, {3, 700}, {4, 40}})),
                     Chunk("LIST", Cat({Bytes{'a', 'd', 't', 'l'}, Chunk("ltxt", Ltxt(2, 1000)),
                                        Chunk("ltxt", Ltxt(3, 1)), Chunk("labl", IdText(1, "L1")),
                                        Chunk("note", IdText(1, "N1"))})),
                     Chunk("plst", Bytes{2, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                                         0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0})}));
}

TEST(HandOver, FillsHostMarkersAndEntriesOnce) {
    OpenedFile f(HandOverFile());
    ASSERT_TRUE(f.ok);
    HostSide host;
    unsigned char* m[5];
    for (auto& r : m)
        r = host.AddMarker();
    unsigned char* e0 = host.AddEntry(nullptr);
    unsigned char* e1 = host.AddEntry(nullptr);
    f.plugin->hostMarkers = &host.markers;
    f.plugin->hostPlayList = &host.entries;
    Bytes buffer(16);
    EXPECT_EQ(2, f.plugin->ReadSamples(buffer.data(), 16));

    EXPECT_EQ(0, f.plugin->cueCount);
    EXPECT_EQ(0, f.plugin->playListCount);
    EXPECT_EQ("L1", std::string(hm::Label(m[0])));
    EXPECT_EQ("N1", std::string(hm::Note(m[0])));
    EXPECT_EQ(10, hm::Start(m[0]));
    EXPECT_EQ(2, hm::Type(m[0]));
    EXPECT_EQ(1, hm::PointFlag(m[0]));
    EXPECT_EQ(0xCC, m[0][hm::kEnd]);      // not a region: the host's end stays
    EXPECT_EQ(0xCC, m[0][kHostOwnField]); // the host's own fields stay
    EXPECT_EQ(0xCC, m[1][hm::kLabel]);    // no text: the host's text stays
    EXPECT_EQ(500, hm::Start(m[1]));
    EXPECT_EQ(1499, hm::End(m[1]));
    EXPECT_EQ(3, hm::Type(m[1]));
    EXPECT_EQ(hm::PointFlag(m[4]), hm::PointFlag(m[1])); // untouched
    EXPECT_EQ(5, hm::Type(m[2]));                        // a one-frame region used by the play list
    EXPECT_EQ(1, hm::PointFlag(m[2]));
    EXPECT_EQ(0xCC, m[2][hm::kEnd]);
    EXPECT_EQ(5, hm::Type(m[3]));
    EXPECT_EQ(0xCC, m[4][hm::kStart]); // more host records than cues: the rest stays
    EXPECT_EQ(m[2], host_play_list_entry::Marker(e0));
    EXPECT_EQ(m[3], host_play_list_entry::Marker(e1));

    hm::SetType(m[0], 99);
    f.plugin->SeekFrame(0);
    f.plugin->ReadSamples(buffer.data(), 16);
    EXPECT_EQ(99, hm::Type(m[0])); // no second hand-over
}

TEST(HandOver, ShortListsNullElementsAndMissingLists) {
    for (int markers : {0, 1, 2, 3}) {
        SCOPED_TRACE(markers);
        OpenedFile f(HandOverFile());
        HostSide host;
        std::vector<unsigned char*> m;
        for (int i = 0; i < markers; ++i) {
            m.push_back(i == 1 ? nullptr : host.AddMarker());
            if (i == 1)
                host.markers.AddTail(nullptr);
        }
        unsigned char* e0 = host.AddEntry(&host); // junk the hand-over must replace
        host.entries.AddTail(nullptr);
        f.plugin->hostMarkers = &host.markers;
        f.plugin->hostPlayList = &host.entries;
        Bytes buffer(4);
        f.plugin->ReadSamples(buffer.data(), 4);
        if (markers >= 1) {
            EXPECT_EQ(10, hm::Start(m[0]));
        }
        // Cue 3 sits at position 2: a null when the host's list is shorter.
        EXPECT_EQ(markers >= 3 ? m[2] : nullptr, host_play_list_entry::Marker(e0));
        if (markers >= 3) {
            EXPECT_EQ(5, hm::Type(m[2]));
        }
    }
    OpenedFile f(HandOverFile());
    Bytes buffer(4);
    f.plugin->ReadSamples(buffer.data(), 4); // no lists at all
    EXPECT_EQ(0, f.plugin->cueCount);
    EXPECT_EQ(0, f.plugin->playListCount);

    OpenedFile g(HandOverFile());
    HostSide host;
    unsigned char* e = host.AddEntry(&host);
    g.plugin->hostPlayList = &host.entries; // and no marker list: the entry gets null
    g.plugin->ReadSamples(buffer.data(), 4);
    EXPECT_EQ(nullptr, host_play_list_entry::Marker(e));
}

TEST(HandOver, SharedCueIdsLetTheLastMatchDecide) {
    OpenedFile f(Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)), Chunk("data", Bytes(4)),
                           Chunk("cue ", CuePoints({{7, 1}, {8, 2}, {7, 3}})),
                           Chunk("plst", Bytes{1, 0, 0, 0, 7, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0})})));
    HostSide host;
    unsigned char* m[3] = {host.AddMarker(), host.AddMarker(), host.AddMarker()};
    unsigned char* e = host.AddEntry(nullptr);
    f.plugin->hostMarkers = &host.markers;
    f.plugin->hostPlayList = &host.entries;
    Bytes buffer(4);
    f.plugin->ReadSamples(buffer.data(), 4);
    EXPECT_EQ(m[2], host_play_list_entry::Marker(e));
    EXPECT_EQ(5, hm::Type(m[0]));
    EXPECT_EQ(2, hm::Type(m[1]));
    EXPECT_EQ(5, hm::Type(m[2]));
}

} // namespace
