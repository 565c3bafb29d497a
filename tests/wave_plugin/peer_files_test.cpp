// Files from programs no one here wrote: sox and ffmpeg write them, the plug-in reads them and
// must deliver exactly the samples sox decodes; files the plug-in writes must decode in sox to
// the samples given. The native build runs it; scripts/deps installs the programs, and a
// missing one fails the test by name.
#include "wave_test_support.h"

#include <cstdlib>
#include <sstream>

#include <sndfile.h>

using namespace wave_test;
namespace hm = host_marker;

namespace {

bool Shell(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// What a command prints on its standard output.
std::string Output(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

::testing::AssertionResult Installed(std::initializer_list<const char*> programs) {
    for (const char* program : programs)
        if (!Shell(std::string("command -v ") + program + " >/dev/null"))
            return ::testing::AssertionFailure()
                   << program << " is not installed (scripts/deps installs it)";
    return ::testing::AssertionSuccess();
}

// Every frame of a file through the plug-in, as the host receives it.
Bytes ReadFrames(WavePlugin& p) {
    Bytes all, buffer(4096);
    while (int n = p.ReadSamples(buffer.data(), 4096)) {
        std::size_t bytes =
            static_cast<std::size_t>(n) * p.info.channels * p.info.bitsPerSample / 8;
        all.insert(all.end(), buffer.begin(), buffer.begin() + bytes);
    }
    return all;
}

TEST(PeerFiles, IntegerPcmFromSoxAndFfmpegReadsAsSoxDecodesIt) {
    ASSERT_TRUE(Installed({"sox", "ffmpeg", "sndfile-convert"}));
    TempDir dir;
    const std::string synth = "synth 0.05 sine 300 sine 500 sine 700 sine 900 sine 1100 sine 1300";
    struct Case {
        std::string name, make;
    } cases[] = {
        {"sox_u8_mono.wav", "sox -n -r 8000 -b 8 -c 1 %s " + synth},
        {"sox_s16_stereo.wav", "sox -n -r 44100 -b 16 -c 2 %s " + synth},
        {"sox_s24_mono.wav", "sox -n -r 48000 -b 24 -c 1 %s " + synth},
        {"sox_s24_six.wav", "sox -n -r 48000 -b 24 -c 6 %s " + synth},
        {"sox_s32_stereo.wav", "sox -n -r 22050 -b 32 -c 2 %s " + synth},
        {"ff_s16_info.wav", "ffmpeg -loglevel error -f lavfi -i sine=f=440:d=0.05 -metadata "
                            "title=Tune -metadata artist=Maker -c:a pcm_s16le -y %s"},
        {"ff_s24_four.wav", "ffmpeg -loglevel error -f lavfi -i sine=f=440:d=0.05 -ac 4 "
                            "-c:a pcm_s24le -y %s"},
        {"ff_s32_mono.wav", "ffmpeg -loglevel error -f lavfi -i sine=f=440:d=0.05 "
                            "-c:a pcm_s32le -y %s"},
        // RF64 as ffmpeg and libsndfile write it; sox reads it but cannot write it.
        {"ff_rf64_s16.wav", "ffmpeg -loglevel error -f lavfi -i sine=f=440:d=0.05 -ac 2 "
                            "-c:a pcm_s16le -rf64 always -y %s"},
        {"ff_rf64_s24_four.wav", "ffmpeg -loglevel error -f lavfi -i sine=f=440:d=0.05 -ac 4 "
                                 "-c:a pcm_s24le -rf64 always -y %s"},
        {"sf_rf64_s24.rf64", "sox -n -r 48000 -b 16 -c 2 %s.src.wav " + synth +
                                 " && sndfile-convert -pcm24 %s.src.wav %s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.Path(c.name), raw = dir.Path(c.name + ".raw");
        std::string make = c.make;
        for (std::size_t at; (at = make.find("%s")) != std::string::npos;)
            make.replace(at, 2, path);
        ASSERT_TRUE(Shell(make));
        ASSERT_TRUE(Shell("sox " + path + " -t raw -e signed-integer " + raw));
        if (c.name.find("rf64") != std::string::npos) {
            Bytes head = dir.Read(c.name);
            ASSERT_EQ(Bytes({'R', 'F', '6', '4'}), Bytes(head.begin(), head.begin() + 4));
        }
        PluginPtr p = NewPlugin();
        ASSERT_TRUE(p->OpenFile(path.c_str(), 1));
        ASSERT_TRUE(p->BeginRead());
        EXPECT_STREQ("PCM", p->info.formatName);
        EXPECT_STREQ("RIFF Wave", p->info.containerName);
        Bytes expected = dir.Read(c.name + ".raw");
        EXPECT_EQ(expected.size(),
                  std::size_t(p->info.frameCount) * p->info.channels * p->info.bitsPerSample / 8);
        EXPECT_TRUE(ReadFrames(*p) == expected);
        if (c.name == "ff_s16_info.wav") {
            EXPECT_STREQ("Tune", p->info.title);
            EXPECT_STREQ("Maker", p->info.artist);
        }
        p->CloseFile(1);
    }
}

TEST(PeerFiles, FloatFilesAreRefusedByName) {
    ASSERT_TRUE(Installed({"sox", "ffmpeg"}));
    TempDir dir;
    ASSERT_TRUE(Shell("sox -n -r 8000 -e floating-point -b 32 -c 1 " + dir.Path("a.wav") +
                      " synth 0.01 sine 440"));
    ASSERT_TRUE(Shell("ffmpeg -loglevel error -f lavfi -i sine=f=440:d=0.01 -ac 3 -c:a pcm_f32le "
                      "-y " +
                      dir.Path("b.wav")));
    for (const char* name : {"a.wav", "b.wav"}) {
        PluginPtr p = NewPlugin();
        ASSERT_TRUE(p->OpenFile(dir.Path(name).c_str(), 1));
        EXPECT_FALSE(p->BeginRead());
        EXPECT_STREQ("IEEE Floating Point", p->info.formatName);
        EXPECT_EQ(1, p->isFloat);
        p->CloseFile(1);
    }
}

TEST(PeerFiles, WrittenFilesDecodeInSoxToTheSamplesGiven) {
    ASSERT_TRUE(Installed({"sox", "ffmpeg", "sndfile-info"}));
    TempDir dir;
    for (int bits : {8, 16, 24}) {
        SCOPED_TRACE(bits);
        std::string path = dir.Path("w" + std::to_string(bits) + ".wav");
        PluginPtr p = NewPlugin();
        HostSide host;
        ASSERT_TRUE(p->OpenFile(path.c_str(), 0));
        p->info.channels = 3;
        p->info.bitsPerSample = bits;
        p->info.sampleRate = 32000;
        p->info.frameCount = 333; // odd: no pad byte follows the data
        std::strcpy(p->info.title, "Written");
        unsigned char* m = host.AddMarker(0);
        std::strcpy(reinterpret_cast<char*>(m), "mark");
        hm::SetType(m, 3);
        hm::SetEnd(m, 99);
        host.AddEntry(m);
        p->hostMarkers = &host.markers;
        p->hostPlayList = &host.entries;
        p->WriteHeader();
        Bytes samples(333 * 3 * bits / 8);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<unsigned char>(i * 37 + 11);
        Bytes given = samples;
        EXPECT_EQ(333, p->WriteSamples(samples.data(), std::int32_t(samples.size()), 333));
        p->CloseFile(0);
        ASSERT_TRUE(Shell("sox " + path + " -t raw -e signed-integer " + path + ".raw"));
        std::ifstream in(path + ".raw", std::ios::binary);
        Bytes decoded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(decoded == given);
        EXPECT_TRUE(Shell("ffmpeg -loglevel error -i " + path + " -f null -"));
        EXPECT_TRUE(Shell("sndfile-info " + path + " | grep -q 'Frames      : 333'"));
    }
}

// Markers, regions, the play list and the texts that the plug-in writes reach other programs
// whole: libsndfile reads the cue points with their positions and labels and the four texts,
// ffprobe shows the cues as chapters with their titles and the texts as the format's tags. An
// RF64 file (sparse here) shows its texts in both and its chapters in ffprobe; libsndfile reads
// no cue chunk in RF64.
TEST(PeerFiles, WrittenTextsAndMarkersReadBackInLibsndfileAndFfprobe) {
    ASSERT_TRUE(Installed({"ffprobe"}));
    struct Mark {
        int type;
        std::uint32_t start, end;
        const char* label;
    };
    const std::vector<Mark> regions = {
        {2, 100, 0, "Intro"}, {2, 500, 0, "Verse"}, {3, 600, 899, "Bridge"}};
    const struct Layout {
        const char* name;
        std::vector<Mark> marks;
        bool playList, texts, sixtyFour;
    } layouts[] = {
        {"markers.wav", {{2, 100, 0, "Verse"}, {2, 640, 0, "Chorus"}}, false, false, false},
        {"regions.wav", regions, false, false, false},
        {"playlist.wav", {{5, 20, 0, "Start"}, {3, 300, 699, "Loop"}}, true, false, false},
        {"texts.wav", {}, false, true, false},
        {"all.wav",
         {{5, 20, 0, "Start"}, {3, 300, 699, "Loop"}, {2, 900, 0, ""}},
         true,
         true,
         false},
        {"rf64.wav", regions, false, true, true},
    };
    const char* const texts[] = {"Morning take", "The Band", "two mics", "(c) 2026"};
    const int textKinds[] = {SF_STR_TITLE, SF_STR_ARTIST, SF_STR_COMMENT, SF_STR_COPYRIGHT};
    // In the order the writer puts them, which is the order ffprobe lists them in.
    const char* const tagNames[] = {"title", "artist", "comment", "copyright"};
    TempDir dir;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const std::string path = dir.Path(layout.name);
        // 16-bit stereo: past 4 GiB of samples for the RF64 file, of which only the last frame
        // is written.
        const std::int64_t frames = layout.sixtyFour ? 1100000000 : 1000;
        PluginPtr p = NewPlugin();
        HostSide host;
        ASSERT_TRUE(p->OpenFile(path.c_str(), 0));
        p->info.channels = 2;
        p->info.bitsPerSample = 16;
        p->info.sampleRate = 8000;
        p->info.frameCount = frames;
        if (layout.texts) {
            std::strcpy(p->info.title, texts[0]);
            std::strcpy(p->info.artist, texts[1]);
            std::strcpy(p->info.comment, texts[2]);
            std::strcpy(p->info.rightsNotice, texts[3]);
        }
        for (const Mark& mark : layout.marks) {
            unsigned char* m = host.AddMarker(0);
            hm::SetText(m, hm::kLabel, mark.label);
            hm::SetText(m, hm::kNote, "a note");
            hm::SetStart(m, mark.start);
            hm::SetEnd(m, mark.end);
            hm::SetType(m, mark.type);
            if (layout.playList && mark.type == 5)
                host.AddEntry(m);
        }
        p->hostMarkers = &host.markers;
        p->hostPlayList = &host.entries;
        ASSERT_TRUE(p->WriteHeader());
        Bytes samples(1000 * 4, 0x11);
        if (layout.sixtyFour) {
            ASSERT_EQ(0, fseeko64(p->file, std::ftell(p->file) + (frames - 1000) * 4, SEEK_SET));
        }
        EXPECT_EQ(1000, p->WriteSamples(samples.data(), std::int32_t(samples.size()), 1000));
        p->CloseFile(0);

        SF_INFO info = {};
        SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(nullptr, sf) << sf_strerror(nullptr);
        EXPECT_EQ(frames, info.frames);
        for (int i = 0; i < 4; ++i) {
            const char* got = sf_get_string(sf, textKinds[i]);
            EXPECT_STREQ(layout.texts ? texts[i] : nullptr, got) << tagNames[i];
        }
        std::uint32_t count = 0;
        sf_command(sf, SFC_GET_CUE_COUNT, &count, sizeof count);
        SF_CUES cues = {};
        const std::size_t expectedCues = layout.sixtyFour ? 0 : layout.marks.size();
        ASSERT_EQ(expectedCues, count);
        if (count > 0) {
            ASSERT_TRUE(sf_command(sf, SFC_GET_CUE, &cues, sizeof cues));
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            EXPECT_EQ(i + 1, static_cast<std::uint32_t>(cues.cue_points[i].indx));
            EXPECT_EQ(layout.marks[i].start, cues.cue_points[i].sample_offset);
            EXPECT_STREQ(layout.marks[i].label, cues.cue_points[i].name);
        }
        sf_close(sf);

        std::ostringstream expected;
        for (const Mark& mark : layout.marks) {
            expected << "start=" << mark.start << "\nTAG:title=" << mark.label << "\n";
        }
        for (int i = 0; layout.texts && i < 4; ++i)
            expected << "TAG:" << tagNames[i] << "=" << texts[i] << "\n";
        EXPECT_EQ(expected.str(),
                  Output("ffprobe -v error -show_chapters -show_entries "
                         "chapter=start:chapter_tags=title:format_tags=title,artist,copyright,"
                         "comment -of default=nw=1 " +
                         path));
    }
}

} // namespace
