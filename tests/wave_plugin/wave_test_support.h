// Builders for WAVE bytes, temporary files and host-side records for the wave plug-in tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host_record_size.h"
#include "pointer_list.h"
#include "wave_plugin.h"

namespace wave_test {

using Bytes = std::vector<unsigned char>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}
inline void PutText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

// A chunk with its header; odd contents get a pad byte unless told otherwise.
inline Bytes Chunk(const std::string& id, const Bytes& body, bool pad = true) {
    Bytes b;
    PutText(b, id);
    Put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && (body.size() & 1))
        b.push_back(0);
    return b;
}
inline Bytes Text(const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}
inline Bytes Riff(const Bytes& chunks, const char* riff = "RIFF", const char* form = "WAVE") {
    Bytes b;
    PutText(b, riff);
    Put32(b, static_cast<std::uint32_t>(chunks.size() + 4));
    PutText(b, form);
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}
// Format chunk contents: the 14 base bytes, then bits (16 bytes), then extra size (18 bytes).
inline Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                 std::size_t size = 16, std::uint16_t extra = 0) {
    Bytes b;
    std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * align);
    Put16(b, align);
    if (size >= 15)
        Put16(b, bits);
    if (size >= 17)
        Put16(b, extra);
    b.resize(size, 0);
    return b;
}
inline Bytes CuePoints(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> points) {
    Bytes b;
    Put32(b, static_cast<std::uint32_t>(points.size()));
    for (auto [id, offset] : points) {
        Put32(b, id);
        Put32(b, 0);
        PutText(b, "data");
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, offset);
    }
    return b;
}
inline Bytes IdText(std::uint32_t id, const std::string& s) {
    Bytes b;
    Put32(b, id);
    Bytes t = Text(s);
    b.insert(b.end(), t.begin(), t.end());
    return b;
}
inline Bytes Ltxt(std::uint32_t id, std::uint32_t length) {
    Bytes b;
    Put32(b, id);
    Put32(b, length);
    b.resize(20, 0);
    return b;
}

class TempDir {
public:
    TempDir() {
        static int serial = 0;
        m_dir =
            std::filesystem::temp_directory_path() /
            ("wave_test_" + std::to_string(std::time(nullptr)) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(m_dir);
    }
    ~TempDir() {
        KeepWaves();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return Path(name);
    }
    Bytes Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    // With WAVE_TEST_KEEP_WAVES=DIR, the small WAVE files a test leaves (built, written by the
    // plug-in, or by sox and ffmpeg) are copied there as "<suite>.<test>.<name>": seeds for
    // the fuzzers.
    void KeepWaves() const {
        const char* keep = std::getenv("WAVE_TEST_KEEP_WAVES");
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::error_code ec;
        if (keep == nullptr || test == nullptr)
            return;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir, ec))
            if (entry.is_regular_file(ec) && entry.file_size(ec) <= 8192 &&
                entry.path().extension() != ".raw")
                std::filesystem::copy_file(entry.path(),
                                           std::filesystem::path(keep) /
                                               (std::string(test->test_suite_name()) + "." +
                                                test->name() + "." +
                                                entry.path().filename().string()),
                                           std::filesystem::copy_options::overwrite_existing, ec);
    }

    std::filesystem::path m_dir;
};

struct PluginDeleter {
    void operator()(WavePlugin* p) const { p->Destroy(1); }
};
using PluginPtr = std::unique_ptr<WavePlugin, PluginDeleter>;
inline PluginPtr NewPlugin() {
    return PluginPtr(WavePlugin::Create());
}

// Opens bytes written to a temporary file for reading and runs the header read.
struct OpenedFile {
    TempDir dir;
    PluginPtr plugin = NewPlugin();
    bool ok = false;
    explicit OpenedFile(const Bytes& bytes) {
        EXPECT_TRUE(plugin->OpenFile(dir.Write("in.wav", bytes).c_str(), 1));
        ok = plugin->BeginRead() != 0;
    }
    long Position() const { return std::ftell(plugin->file); }
};

// Host-owned marker records and play-list entries, built as a host would, filled with a junk
// byte so that what the plug-in leaves unwritten shows.
struct HostSide {
    CPtrList markers;
    CPtrList entries;
    std::vector<std::unique_ptr<unsigned char[]>> storage;

    unsigned char* NewRecord(std::size_t bytes, unsigned char fill) {
        storage.emplace_back(new unsigned char[bytes]);
        std::memset(storage.back().get(), fill, bytes);
        return storage.back().get();
    }
    unsigned char* AddMarker(unsigned char fill = 0xCC) {
        unsigned char* m = NewRecord(kMarkerRecordBytes, fill);
        markers.AddTail(m);
        return m;
    }
    unsigned char* AddEntry(void* marker) {
        unsigned char* e = NewRecord(sizeof(void*), 0xCC);
        std::memcpy(e, &marker, sizeof marker);
        entries.AddTail(e);
        return e;
    }
};

} // namespace wave_test
