#include "chunk_writer.h"

#include <cstring>

#include "file_stream.h"
#include "riff_bytes.h"
#include "system_chars.h"

namespace riff {

namespace {

// The length of the text in a buffer of limit + 1 bytes; a text without NUL there is cut
// after its last whole character within limit.
std::size_t TextLength(const char* text, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && text[n] != '\0')
        ++n;
    return n < limit ? n : CutToChars(text, limit + 1, limit, SystemLeadByte);
}

void FillFileHeader(unsigned char* header, const char* form, std::uint32_t size) {
    std::memcpy(header, form, kIdBytes);
    put_u32le(header + kSizeAt, size);
    std::memcpy(header + kFormAt, "WAVE", kIdBytes);
}

} // namespace

void ChunkWriter::Bytes(const void* p, std::size_t n) {
    if (m_f != nullptr && std::fwrite(p, 1, n, m_f) != n)
        m_failed = true;
    m_written += static_cast<std::int64_t>(n);
}

bool ChunkWriter::Flushed() {
    if (m_f == nullptr)
        return true;
    const bool flushed = std::fflush(m_f) == 0;
    return flushed && !m_failed && std::ferror(m_f) == 0;
}

void ChunkWriter::U16(std::uint32_t v) {
    unsigned char b[2];
    put_u16le(b, v);
    Bytes(b, sizeof b);
}

void ChunkWriter::U32(std::uint32_t v) {
    unsigned char b[4];
    put_u32le(b, v);
    Bytes(b, sizeof b);
}

void ChunkWriter::U64(std::uint64_t v) {
    unsigned char b[8];
    put_u64le(b, v);
    Bytes(b, sizeof b);
}

void ChunkWriter::FileHeader(const char* form, std::uint32_t size) {
    unsigned char header[kRiffHeaderBytes];
    FillFileHeader(header, form, size);
    Bytes(header, sizeof header);
}

void ChunkWriter::Header(const char* id, std::uint32_t size) {
    Bytes(id, kIdBytes);
    U32(size);
}

void ChunkWriter::Begin(const char* id) {
    m_begun = m_f != nullptr ? stream::Tell(m_f) : m_written;
    Header(id, 0);
}

void ChunkWriter::End() {
    if (m_f == nullptr || m_begun < 0)
        return;
    std::int64_t end = stream::Tell(m_f);
    unsigned char size[4];
    put_u32le(size, static_cast<std::uint32_t>(end - m_begun - kChunkHeaderBytes));
    stream::SeekAbsolute(m_f, m_begun + static_cast<std::int64_t>(kSizeAt));
    if (std::fwrite(size, 1, sizeof size, m_f) != sizeof size)
        m_failed = true;
    stream::SeekAbsolute(m_f, end);
    m_begun = -1;
}

void ChunkWriter::Text(const char* buffer, std::size_t capacity) {
    std::size_t length = TextLength(buffer, capacity - 1);
    Bytes(buffer, length);
    unsigned char tail[2] = {0, 0};
    std::size_t tailBytes = 1;
    if ((length + 1) & 1)
        tail[tailBytes++] = static_cast<unsigned char>(buffer[length + 1]);
    Bytes(tail, tailBytes);
}

std::uint32_t ChunkWriter::TextSize(const char* buffer, std::size_t capacity) {
    return static_cast<std::uint32_t>((TextLength(buffer, capacity - 1) + 2) & ~std::size_t(1));
}

namespace {

// The offset of the data chunk's first sample byte in a header the writer wrote, found by
// walking its chunks from the first; -1 when the file holds no such header (no WriteHeader
// before the close).
std::int64_t DataStart(std::FILE* f, std::int64_t end, bool* sixtyFour) {
    unsigned char head[kRiffHeaderBytes];
    std::rewind(f);
    if (!stream::ReadExact(f, head, sizeof head))
        return -1;
    *sixtyFour = same_id(head, kFormRf64);
    if (!*sixtyFour && !same_id(head, kFormRiff))
        return -1;
    const std::int64_t headerBytes = kChunkHeaderBytes;
    for (std::int64_t at = kRiffHeaderBytes; at + headerBytes <= end;) {
        unsigned char chunk[kChunkHeaderBytes];
        if (!stream::SeekAbsolute(f, at) || !stream::ReadExact(f, chunk, sizeof chunk))
            return -1;
        at += headerBytes;
        if (same_id(chunk, "data"))
            return at;
        const std::uint32_t size = read_u32le(chunk + kIdBytes);
        at += static_cast<std::int64_t>(size) + (size & 1);
    }
    return -1;
}

std::uint32_t Size32(std::int64_t size) {
    return size > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<std::uint32_t>(size);
}

} // namespace

void FinishFile(std::FILE* f, std::int64_t frameBytes) {
    const std::int64_t end = stream::Tell(f);
    bool sixtyFour = false;
    const std::int64_t dataStart = end < 0 ? -1 : DataStart(f, end, &sixtyFour);
    if (dataStart < 0 || dataStart > end)
        return;
    // The data chunk holds what was written, whatever the header declared.
    const std::int64_t dataBytes = end - dataStart;
    std::rewind(f);
    ChunkWriter out(f);
    if (!sixtyFour) {
        // Past 4 GiB a RIFF file can only say "as large as it gets".
        out.FileHeader(kFormRiff, Size32(end - kChunkHeaderBytes));
        unsigned char size[4];
        put_u32le(size, Size32(dataBytes));
        stream::SeekAbsolute(f, dataStart - 4);
        std::fwrite(size, 1, sizeof size, f);
        return;
    }
    out.FileHeader(kFormRf64, kSizeInDs64);
    out.Header("ds64", kDs64WrittenBytes);
    out.U64(static_cast<std::uint64_t>(end) - kChunkHeaderBytes);
    out.U64(static_cast<std::uint64_t>(dataBytes));
    if (frameBytes > 0)
        out.U64(static_cast<std::uint64_t>(dataBytes / frameBytes));
}

} // namespace riff
