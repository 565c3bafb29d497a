// A recording past 4 GiB written and read for real: through the plug-in, sox and ffmpeg. Slow
// and large (4.3 GB of disk for about a minute), so it carries the label "large" and runs only
// when asked (see the README). The default run covers the same paths with sparse files.
#include "wave_test_support.h"

#include <cstdlib>

using namespace wave_test;

namespace {

// 24-bit stereo, just over 4 GiB of samples.
constexpr std::int32_t kChannels = 2;
constexpr std::int32_t kBits = 24;
constexpr std::int64_t kFrameBytes = kChannels * kBits / 8;
constexpr std::int64_t kFrames = 716000000;
constexpr std::int64_t kBlockFrames = 65536;

// Each block's bytes depend on the block's number, so that a misplaced block changes the sum.
void FillBlock(Bytes& block, std::int64_t number) {
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i * 7 + number * 13);
}

struct Sum {
    std::uint64_t value = 1469598103934665603ull;
    std::int64_t bytes = 0;
    void Add(const unsigned char* p, std::size_t n) {
        // A cheap position-sensitive sum: FNV over 8-byte words would cost as much as the disk.
        for (std::size_t i = 0; i < n; ++i)
            value = (value ^ p[i]) * 1099511628211ull;
        bytes += static_cast<std::int64_t>(n);
    }
};

Sum SumOfCommand(const std::string& command) {
    Sum sum;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return sum;
    Bytes buffer(1 << 20);
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        sum.Add(buffer.data(), n);
    pclose(pipe);
    return sum;
}

TEST(LargeFile, PastFourGiBThroughThePluginSoxAndFfmpeg) {
    TempDir dir;
    std::string path = dir.Path("large.wav");
    Sum written;
    {
        PluginPtr w = NewPlugin();
        ASSERT_TRUE(w->OpenFile(path.c_str(), 0));
        w->info.channels = kChannels;
        w->info.bitsPerSample = kBits;
        w->info.sampleRate = 48000;
        w->info.frameCount = kFrames;
        ASSERT_TRUE(w->WriteHeader());
        Bytes block(kBlockFrames * kFrameBytes);
        for (std::int64_t done = 0, number = 0; done < kFrames; done += kBlockFrames, ++number) {
            std::int64_t frames = std::min(kBlockFrames, kFrames - done);
            FillBlock(block, number);
            written.Add(block.data(), static_cast<std::size_t>(frames * kFrameBytes));
            ASSERT_EQ(frames,
                      w->WriteSamples(block.data(), static_cast<std::int32_t>(frames * kFrameBytes),
                                      static_cast<std::int32_t>(frames)));
        }
        w->CloseFile(0);
    }
    ASSERT_EQ(kFrames * kFrameBytes, written.bytes);
    EXPECT_LT(std::int64_t(1) << 32, written.bytes);

    Sum read;
    {
        PluginPtr r = NewPlugin();
        ASSERT_TRUE(r->OpenFile(path.c_str(), 1));
        ASSERT_TRUE(r->BeginRead());
        EXPECT_EQ(kFrames, r->info.frameCount);
        Bytes buffer(kBlockFrames * kFrameBytes);
        while (std::int32_t n = r->ReadSamples(buffer.data(), std::int32_t(buffer.size())))
            read.Add(buffer.data(), static_cast<std::size_t>(n * kFrameBytes));
        // The last block again, by seeking to its first frame.
        std::int64_t lastBlock = (kFrames - 1) / kBlockFrames;
        ASSERT_TRUE(r->SeekFrame(static_cast<std::int32_t>(lastBlock * kBlockFrames)));
        Bytes expected(buffer.size());
        FillBlock(expected, lastBlock);
        std::int32_t n = r->ReadSamples(buffer.data(), std::int32_t(buffer.size()));
        EXPECT_EQ(kFrames - lastBlock * kBlockFrames, n);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + n * kFrameBytes, expected.begin()));
        r->CloseFile(1);
    }
    EXPECT_EQ(written.bytes, read.bytes);
    EXPECT_EQ(written.value, read.value);

    Sum sox = SumOfCommand("sox " + path + " -t raw -e signed-integer - 2>/dev/null");
    EXPECT_EQ(written.bytes, sox.bytes);
    EXPECT_EQ(written.value, sox.value);
    Sum ffmpeg = SumOfCommand("ffmpeg -v error -i " + path + " -f s24le - 2>/dev/null");
    EXPECT_EQ(written.bytes, ffmpeg.bytes);
    EXPECT_EQ(written.value, ffmpeg.value);
}

} // namespace
