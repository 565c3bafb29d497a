// Little-endian field access and the sizes of the RIFF WAVE structures the plug-in reads and
// writes. File data is always decoded from bytes, never by overlaying structures on it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace riff {

constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kFormatBaseBytes = 14;    // tag, channels, rate, bytes/s, alignment
constexpr std::size_t kFormatWrittenBytes = 18; // the base, bits per sample, extra size
constexpr std::size_t kFormatExtensibleBytes = 40;
constexpr std::size_t kExtensibleExtraBytes = 22; // valid bits, channel mask, sub-format GUID
constexpr std::size_t kCuePointBytes = 24;
constexpr std::size_t kPlaySegmentBytes = 12;
constexpr std::size_t kLtxtFixedBytes = 20;
constexpr std::size_t kCueIdBytes = 4;

constexpr char kFormRiff[] = "RIFF";
constexpr char kFormRf64[] = "RF64";

// RF64 and BW64: the 32-bit sizes that say "see the ds64 chunk", and that chunk's fields.
constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;
constexpr std::size_t kDs64RiffSize = 0;
constexpr std::size_t kDs64DataSize = 8;
constexpr std::size_t kDs64SampleCount = 16;
constexpr std::size_t kDs64TableLength = 24;
constexpr std::size_t kDs64MinimumBytes = 24; // the three sizes; the table may be left out
constexpr std::size_t kDs64WrittenBytes = 28; // the three sizes and an empty table

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

inline std::uint16_t read_u16le(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t read_u32le(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t read_u64le(const unsigned char* p) {
    return static_cast<std::uint64_t>(read_u32le(p)) |
           (static_cast<std::uint64_t>(read_u32le(p + 4)) << 32);
}

inline void put_u16le(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void put_u32le(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

inline void put_u64le(unsigned char* p, std::uint64_t v) {
    put_u32le(p, static_cast<std::uint32_t>(v));
    put_u32le(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// Compares four characters without regard to ASCII letter case.
inline bool same_id(const unsigned char* p, const char* id) {
    for (int i = 0; i < 4; ++i) {
        unsigned char a = p[i];
        unsigned char b = static_cast<unsigned char>(id[i]);
        if (a >= 'a' && a <= 'z')
            a = static_cast<unsigned char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = static_cast<unsigned char>(b - 'a' + 'A');
        if (a != b)
            return false;
    }
    return true;
}

} // namespace riff
