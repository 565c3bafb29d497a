// Files laid out as recorders and editors write them: metadata chunks of their own (bext,
// iXML, ID3), padding chunks, the associated-data list before or after the cue chunk, RF64 and
// BW64 forms. One recording is described once; each layout is built from the description and
// what the host receives is checked against the description, field by field.
#include "wave_test_support.h"

#include <algorithm>

#include "riff_bytes.h"

using namespace wave_test;
namespace hm = host_marker;

namespace {

struct Cue {
    std::uint32_t id;
    std::uint32_t offset;
    std::string label;        // empty: the file has a "labl" with an empty text
    std::string note;         // empty: no "note"
    std::uint32_t length = 0; // 0: a plain marker; otherwise an "ltxt" makes it a region
};

struct Recording {
    std::uint16_t channels = 2;
    std::uint16_t bits = 24;
    std::uint32_t rate = 48000;
    std::uint32_t frames = 5; // odd data sizes are padded
    std::string title = "Take 7";
    std::vector<Cue> cues = {{1, 0, "Start", "clean", 0},
                             {2, 1, "", "", 0},
                             {3, 2, "Chorus", "", 2},
                             {4, 4, "Odd label", "n", 0}};
    std::vector<std::uint32_t> playList = {3, 1}; // cue ids, one segment each

    std::size_t FrameBytes() const { return std::size_t(channels) * bits / 8; }
    Bytes Samples() const {
        Bytes b(frames * FrameBytes());
        for (std::size_t i = 0; i < b.size(); ++i)
            b[i] = static_cast<unsigned char>(i * 29 + 3);
        return b;
    }
    Bytes CueChunk(const char* id = "cue ") const {
        Bytes b;
        Put32(b, static_cast<std::uint32_t>(cues.size()));
        for (const Cue& c : cues) {
            Put32(b, c.id);
            Put32(b, 0);
            PutText(b, "data");
            Put32(b, 0);
            Put32(b, 0);
            Put32(b, c.offset);
        }
        return Chunk(id, b);
    }
    // Labels, notes and regions; odd-sized sub-chunks with their pads, as RIFF has them.
    Bytes AdtlList(const char* id = "LIST") const {
        Bytes b = {'a', 'd', 't', 'l'};
        for (const Cue& c : cues) {
            b = Cat({b, Chunk("labl", IdText(c.id, c.label))});
            if (!c.note.empty())
                b = Cat({b, Chunk("note", IdText(c.id, c.note))});
            if (c.length != 0) {
                Bytes ltxt = Ltxt(c.id, c.length);
                PutText(ltxt, "rgn"); // an ltxt may carry a text: 23 bytes, padded
                b = Cat({b, Chunk("ltxt", ltxt)});
            }
        }
        return Chunk(id, b);
    }
    Bytes PlayListChunk() const {
        Bytes b;
        Put32(b, static_cast<std::uint32_t>(playList.size()));
        for (std::uint32_t id : playList) {
            Put32(b, id);
            Put32(b, 1);
            Put32(b, 1);
        }
        return Chunk("plst", b);
    }
    Bytes Format() const { return Chunk("fmt ", Fmt(1, channels, rate, bits, 16)); }
    Bytes Info() const {
        return Chunk("LIST", Cat({Bytes{'I', 'N', 'F', 'O'}, Chunk("INAM", Text(title))}));
    }
    Bytes Data() const { return Chunk("data", Samples()); }
};

// Chunks that the plug-in passes over, as recorders write them.
Bytes Bext() {
    Bytes b(602, 0);
    std::memcpy(b.data(), "Field recorder", 14);
    return Chunk("bext", b);
}
Bytes Ixml() {
    std::string xml = "<?xml version=\"1.0\"?><BWFXML><PROJECT>p</PROJECT></BWFXML>";
    return Chunk("iXML", Bytes(xml.begin(), xml.end())); // odd: padded
}
Bytes Padding(const char* id, std::size_t n) {
    return Chunk(id, Bytes(n, 0));
}
Bytes Id3() {
    Bytes b = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0};
    return Chunk("ID3 ", b); // 15 bytes: odd
}

// Reads a file and hands it over to host lists sized by the counts the header read gives.
struct Received {
    OpenedFile file;
    HostSide host;
    std::vector<unsigned char*> markers;
    std::vector<unsigned char*> entries;
    Bytes samples;

    explicit Received(const Bytes& bytes) : file(bytes) {
        WavePlugin& p = *file.plugin;
        for (int i = 0; i < p.cueCount; ++i)
            markers.push_back(host.AddMarker(0));
        for (int i = 0; i < p.playListCount; ++i)
            entries.push_back(host.AddEntry(nullptr));
        p.hostMarkers = &host.markers;
        p.hostPlayList = &host.entries;
        Bytes buffer(4096);
        std::int64_t frameBytes = std::int64_t(p.info.channels) * p.info.bitsPerSample / 8;
        while (int n = p.ReadSamples(buffer.data(), 4096))
            samples.insert(samples.end(), buffer.begin(), buffer.begin() + n * frameBytes);
    }
};

void ExpectReceived(const Recording& r, const Bytes& bytes) {
    Received got(bytes);
    WavePlugin& p = *got.file.plugin;
    ASSERT_TRUE(got.file.ok);
    EXPECT_EQ(r.channels, p.info.channels);
    EXPECT_EQ(r.bits, p.info.bitsPerSample);
    EXPECT_EQ(r.rate, p.info.sampleRate);
    EXPECT_EQ(r.frames, p.info.frameCount);
    EXPECT_STREQ("RIFF Wave", p.info.containerName);
    EXPECT_EQ(r.title, p.info.title);
    EXPECT_TRUE(r.Samples() == got.samples);
    ASSERT_EQ(r.cues.size(), got.markers.size());
    for (std::size_t i = 0; i < r.cues.size(); ++i) {
        SCOPED_TRACE(i);
        const Cue& c = r.cues[i];
        const unsigned char* m = got.markers[i];
        bool inPlayList = std::find(r.playList.begin(), r.playList.end(), c.id) != r.playList.end();
        std::int32_t type = inPlayList     ? kMarkerInPlayList
                            : c.length > 1 ? kMarkerRegion
                                           : kMarkerPlain;
        EXPECT_EQ(type, hm::Type(m));
        EXPECT_EQ(c.offset, hm::Start(m));
        if (c.length > 1) {
            EXPECT_EQ(std::int64_t(c.offset) + c.length - 1, hm::End(m));
        }
        EXPECT_EQ(c.label, std::string(hm::Label(m)));
        EXPECT_EQ(c.note, std::string(hm::Note(m)));
    }
    ASSERT_EQ(r.playList.size(), got.entries.size());
    for (std::size_t i = 0; i < r.playList.size(); ++i) {
        std::size_t at = 0;
        while (r.cues[at].id != r.playList[i])
            ++at;
        EXPECT_EQ(got.markers[at], host_play_list_entry::Marker(got.entries[i])) << i;
    }
}

TEST(RecorderFiles, EveryLayoutGivesTheSameRecording) {
    Recording r;
    struct Layout {
        const char* what;
        Bytes file;
    } layouts[] = {
        {"cues first", Riff(Cat({r.Format(), r.Info(), r.CueChunk(), r.AdtlList(),
                                 r.PlayListChunk(), r.Data()}))},
        {"broadcast: bext, padding, list before the cue chunk",
         Riff(Cat({Bext(), Padding("JUNK", 28), r.Format(), r.AdtlList(), Ixml(), r.CueChunk(),
                   r.PlayListChunk(), r.Info(), Padding("FLLR", 4001), r.Data()}))},
        {"markers after the samples, list first and in small letters",
         Riff(Cat({r.Format(), Padding("PAD ", 3), r.Data(), r.AdtlList("list"), r.Info(),
                   r.PlayListChunk(), r.CueChunk("CUE "), Id3()}))},
        {"list before, play list before the cues",
         Riff(
             Cat({r.Format(), r.PlayListChunk(), r.AdtlList(), r.Data(), r.CueChunk(), r.Info()}))},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.what);
        ExpectReceived(r, l.file);
    }
}

TEST(RecorderFiles, TextsBeforeAndAfterTheCuesKeepFileOrder) {
    Recording r;
    r.cues = {{1, 0, "", "", 0}, {2, 3, "", "", 0}};
    r.playList = {};
    Bytes before = Chunk(
        "LIST", Cat({Bytes{'a', 'd', 't', 'l'}, Chunk("labl", IdText(1, "early")),
                     Chunk("labl", IdText(2, "only before")), Chunk("ltxt", Ltxt(2, 4)),
                     Chunk("labl", IdText(7, "none")), Chunk("INAM", Text("from the list"))}));
    Bytes after = Chunk("list", Cat({Bytes{'a', 'd', 't', 'l'}, Chunk("labl", IdText(1, "late")),
                                     Chunk("note", IdText(2, "after"))}));
    // The INFO text in the early list is taken where it stands: a later one still wins.
    Received got(Riff(Cat(
        {r.Format(), before, Chunk("INAM", Text("top level")), r.CueChunk(), after, r.Data()})));
    ASSERT_TRUE(got.file.ok);
    ASSERT_EQ(2u, got.markers.size());
    EXPECT_EQ("late", std::string(hm::Label(got.markers[0])));
    EXPECT_EQ(kMarkerPlain, hm::Type(got.markers[0]));
    EXPECT_EQ("only before", std::string(hm::Label(got.markers[1])));
    EXPECT_EQ("after", std::string(hm::Note(got.markers[1])));
    EXPECT_EQ(kMarkerRegion, hm::Type(got.markers[1]));
    EXPECT_EQ(3 + 4 - 1, hm::End(got.markers[1]));
    EXPECT_STREQ("top level", got.file.plugin->info.title);
    EXPECT_EQ(long(got.file.plugin->dataOffset) + 5 * 6, got.file.Position());

    // Without a cue chunk, a list's texts attach to nothing.
    OpenedFile none(Riff(Cat({r.Format(), before, r.Data()})));
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(0, none.plugin->cueCount);
    EXPECT_EQ(0, none.plugin->cues.GetCount());
}

// An RF64 or BW64 header for the given chunks: the 32-bit RIFF size says "see ds64".
Bytes SixtyFour(const char* form, const Bytes& chunks, std::uint64_t dataSize) {
    Bytes ds64;
    for (std::uint64_t v : {std::uint64_t(chunks.size() + 4 + 36), dataSize, std::uint64_t(0)}) {
        Put32(ds64, static_cast<std::uint32_t>(v));
        Put32(ds64, static_cast<std::uint32_t>(v >> 32));
    }
    Put32(ds64, 0); // no table
    Bytes b;
    PutText(b, form);
    Put32(b, riff::kSizeInDs64);
    PutText(b, "WAVE");
    return Cat({b, Chunk("ds64", ds64), chunks});
}

// A data chunk whose 32-bit size says "see ds64".
Bytes LongData(const Bytes& samples) {
    Bytes b = {'d', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0xFF};
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

TEST(RecorderFiles, Rf64AndBw64ReadAsRiffWave) {
    Recording r;
    for (const char* form : {"RF64", "BW64", "rf64"}) {
        SCOPED_TRACE(form);
        Bytes samples = r.Samples();
        ExpectReceived(r, SixtyFour(form,
                                    Cat({r.Format(), r.AdtlList(), r.CueChunk(), r.PlayListChunk(),
                                         r.Info(), LongData(samples)}),
                                    samples.size()));
    }
    // A data chunk with a size of its own keeps it; a "ds64" in a RIFF file means nothing.
    Bytes samples = r.Samples();
    OpenedFile own(SixtyFour("RF64", Cat({r.Format(), r.Data()}), 1));
    ASSERT_TRUE(own.ok);
    EXPECT_EQ(r.frames, own.plugin->info.frameCount);
    Bytes riff = SixtyFour("RF64", Cat({r.Format(), r.Data()}), 1);
    std::memcpy(riff.data(), "RIFF", 4);
    OpenedFile plain(riff);
    ASSERT_TRUE(plain.ok);
    EXPECT_EQ(r.frames, plain.plugin->info.frameCount);
}

// Sparse files: the sizes of a recording past 4 GiB without its bytes on disk.
constexpr std::uint64_t kFourGiB = 1ull << 32;

struct SparseFile {
    std::FILE* f;
    explicit SparseFile(const std::string& path) : f(std::fopen(path.c_str(), "wb")) {}
    ~SparseFile() {
        if (f)
            std::fclose(f);
    }
    void At(std::int64_t offset, const Bytes& bytes) {
#if defined(_WIN32)
        ASSERT_EQ(0, fseeko64(f, offset, SEEK_SET));
#else
        ASSERT_EQ(0, fseeko(f, offset, SEEK_SET));
#endif
        ASSERT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), f));
    }
};

TEST(RecorderFiles, DataPastFourGiBIsReadAndDataStartingThereIsRefused) {
    TempDir dir;
    Recording r;
    r.channels = 2;
    r.bits = 24;
    // 800,000,000 frames of 6 bytes: 4.8 GB of samples; the last five frames are written.
    const std::uint64_t frames = 800000000, frameBytes = 6;
    Bytes head = SixtyFour("RF64", Cat({r.Format(), Bytes{'d', 'a', 't', 'a', 255, 255, 255, 255}}),
                           frames * frameBytes);
    Bytes tail = r.Samples();
    std::int64_t dataOffset = static_cast<std::int64_t>(head.size());
    {
        SparseFile s(dir.Path("long.wav"));
        s.At(0, head);
        s.At(dataOffset + std::int64_t((frames - 5) * frameBytes), tail);
    }
    PluginPtr p = NewPlugin();
    ASSERT_TRUE(p->OpenFile(dir.Path("long.wav").c_str(), 1));
    ASSERT_TRUE(p->BeginRead());
    EXPECT_EQ(std::int64_t(frames), p->info.frameCount);
    EXPECT_EQ(std::uint32_t(dataOffset), p->dataOffset);
    EXPECT_EQ(std::int32_t(frames), p->framesRemaining);
    // Frames past 2 GiB and past 4 GiB land on their bytes.
    Bytes buffer(6 * 5);
    ASSERT_EQ(1, p->SeekFrame(400000000));
    EXPECT_EQ(5, p->ReadSamples(buffer.data(), 30));
    EXPECT_EQ(Bytes(30, 0), buffer);
    ASSERT_EQ(1, p->SeekFrame(std::int32_t(frames - 5)));
    EXPECT_EQ(5, p->ReadSamples(buffer.data(), 30));
    EXPECT_EQ(tail, buffer);
    EXPECT_EQ(0, p->ReadSamples(buffer.data(), 30));
    p->CloseFile(1);

    // dataOffset has 32 bits: a data chunk that starts past 4 GiB is refused.
    Bytes junk = {'J', 'U', 'N', 'K', 0xF0, 0xFF, 0xFF, 0xFF};
    Bytes far = SixtyFour("RF64", Cat({r.Format(), junk}), 12);
    {
        SparseFile s(dir.Path("far.wav"));
        s.At(0, far);
        s.At(std::int64_t(far.size()) + 0xFFFFFFF0, LongData(Bytes(12, 1)));
    }
    ASSERT_LT(kFourGiB, std::uint64_t(far.size()) + 0xFFFFFFF0u);
    PluginPtr q = NewPlugin();
    ASSERT_TRUE(q->OpenFile(dir.Path("far.wav").c_str(), 1));
    EXPECT_FALSE(q->BeginRead());
    q->CloseFile(1);
}

// A 64-bit data size the stream cannot seek past: the data runs to the end of the file, and its
// samples are not read as chunks (here they spell a cue chunk).
TEST(RecorderFiles, DataTheStreamCannotSeekPastEndsTheWalk) {
    Recording r;
    Bytes cue = Chunk("cue ", CuePoints({{1, 5}}));
    OpenedFile f(SixtyFour("RF64", Cat({r.Format(), LongData(cue)}), 0x7FFFFFFFFFFFFF00u));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(0, f.plugin->cueCount);
    EXPECT_TRUE(f.plugin->cues.IsEmpty());
}

// Counts of 0, several format and data chunks, and a second file read by the same object.
TEST(RecorderFiles, EmptyCountsRepeatedChunksAndASecondFile) {
    Bytes emptyCues = Chunk("cue ", Bytes(4, 0));
    Bytes emptyPlayList = Chunk("plst", Bytes(4, 0));
    Bytes before = Cat({Chunk("fmt ", Fmt(1, 1, 8000, 8)), Chunk("data", Bytes(7, 1)), emptyCues,
                        emptyPlayList, Chunk("fmt ", Fmt(1, 2, 22050, 16)),
                        Chunk("fmt ", Bytes(12, 0)), // too short: changes nothing
                        Chunk("ICOP", Text("(c)"))});
    OpenedFile f(Riff(Cat({before, Chunk("data", Bytes(16, 2))})));
    ASSERT_TRUE(f.ok);
    WavePlugin& p = *f.plugin;
    EXPECT_EQ(0, p.cueCount);
    EXPECT_EQ(0, p.playListCount);
    EXPECT_TRUE(p.cues.IsEmpty() && p.playList.IsEmpty());
    EXPECT_EQ(2, p.info.channels);
    EXPECT_EQ(22050u, p.info.sampleRate);
    EXPECT_EQ(4, p.info.frameCount); // the last data chunk, in the last format's frames
    EXPECT_EQ(riff::kRiffHeaderBytes + before.size() + riff::kChunkHeaderBytes, p.dataOffset);
    EXPECT_EQ(long(p.dataOffset), f.Position());

    // The same object on a second file: texts that file lacks stay, its own replace.
    std::strcpy(p.info.artist, "kept");
    p.CloseFile(1);
    ASSERT_TRUE(p.OpenFile(
        f.dir
            .Write("b.wav", Riff(Cat({Chunk("fmt ", Fmt(1, 1, 8000, 16)),
                                      Chunk("INAM", Text("second")), Chunk("data", Bytes(2))})))
            .c_str(),
        1));
    ASSERT_TRUE(p.BeginRead());
    EXPECT_STREQ("kept", p.info.artist);
    EXPECT_STREQ("(c)", p.info.rightsNotice);
    EXPECT_STREQ("second", p.info.title);
    EXPECT_EQ(1, p.info.frameCount);
}

} // namespace
