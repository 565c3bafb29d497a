#include "chunk_writer.h"

#include <cstring>

#include "file_stream.h"
#include "riff_bytes.h"

namespace riff {

namespace {

std::size_t TextLength(const char* text, std::size_t limit) {
    std::size_t n = 0;
    while (n < limit && text[n] != '\0')
        ++n;
    return n;
}

void FillFileHeader(unsigned char* header, const char* form, std::uint32_t size) {
    std::memcpy(header, form, 4);
    put_u32le(header + 4, size);
    std::memcpy(header + 8, "WAVE", 4);
}

} // namespace

void ChunkWriter::Bytes(const void* p, std::size_t n) {
    if (m_f != nullptr)
        std::fwrite(p, 1, n, m_f);
    m_written += static_cast<std::int64_t>(n);
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
    Bytes(id, 4);
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
    stream::SeekAbsolute(m_f, m_begun + 4);
    std::fwrite(size, 1, sizeof size, m_f);
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

void FinishFile(std::FILE* f) {
    std::int64_t end = stream::Tell(f);
    unsigned char form[4] = {};
    std::rewind(f);
    bool sixtyFour = std::fread(form, 1, sizeof form, f) == sizeof form &&
                     std::memcmp(form, kFormRf64, sizeof form) == 0;
    std::rewind(f);
    ChunkWriter out(f);
    if (!sixtyFour) {
        out.FileHeader(kFormRiff, static_cast<std::uint32_t>(end - kChunkHeaderBytes));
        return;
    }
    out.FileHeader(kFormRf64, kSizeInDs64);
    out.Header("ds64", kDs64WrittenBytes);
    out.U64(static_cast<std::uint64_t>(end) - kChunkHeaderBytes);
}

} // namespace riff
