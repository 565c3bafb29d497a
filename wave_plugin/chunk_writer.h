// Writes RIFF chunks to a stream and keeps their sizes: a chunk whose size is known up front is
// written with it; a chunk opened with Begin gets its size when End seeks back to its header.
// A writer without a stream writes nothing and only counts, so that a header's length can be
// known before a byte of it is written. A byte the stream did not take is remembered, and
// Flushed reports it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace riff {

class ChunkWriter {
public:
    // Writes from the stream's current position, which counts as offset 0; null: counts only.
    explicit ChunkWriter(std::FILE* f) : m_f(f) {}

    // n bytes from p; while counting, p is not read and may be null.
    void Bytes(const void* p, std::size_t n);
    void U16(std::uint32_t v);
    void U32(std::uint32_t v);
    void U64(std::uint64_t v);
    // The 12-byte header of a RIFF file: its four-character form ("RIFF", "RF64"), the size and
    // "WAVE".
    void FileHeader(const char* form, std::uint32_t size);
    // A chunk header with its size.
    void Header(const char* id, std::uint32_t size);
    // A chunk header whose size End fills in: the bytes written in between. One at a time.
    void Begin(const char* id);
    void End();
    // The text of a buffer of the given capacity, its NUL, and the buffer's next byte as pad when
    // the length with the NUL is odd. A buffer with no NUL is taken as cut at capacity - 1, or
    // before a lead byte there whose trail byte would be cut off.
    void Text(const char* buffer, std::size_t capacity);
    // The bytes Text writes for that buffer: the length with its NUL, rounded up to even.
    static std::uint32_t TextSize(const char* buffer, std::size_t capacity);

    // Bytes written (or counted) so far.
    std::int64_t Written() const { return m_written; }
    bool Counting() const { return m_f == nullptr; }
    // Whether every byte so far reached the file: flushes the stream (a full disk shows only
    // then) and asks it for errors. True while counting.
    bool Flushed();

private:
    std::FILE* m_f;
    std::int64_t m_written = 0;
    std::int64_t m_begun = -1; // offset of the header that End completes
    bool m_failed = false;
};

// Fills in the sizes of a file the writer has finished from what it holds: the RIFF size in the
// RIFF header and the data chunk's size in its header, or for an RF64 file the 64-bit RIFF and
// data sizes and the sample count (data bytes / frameBytes) in its "ds64" chunk. A file that
// holds no header is left as it is. The stream stands at the end of the file and must be
// readable.
void FinishFile(std::FILE* f, std::int64_t frameBytes);

} // namespace riff
