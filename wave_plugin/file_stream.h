// Stream helpers over the runtime library's FILE: 64-bit positioning and binary mode.
#pragma once

#include <cstdint>
#include <cstdio>

namespace stream {

// Puts the stream into binary mode on Windows; streams are always binary elsewhere.
void SetBinary(std::FILE* f);
// Moves to an absolute offset or by a relative distance; true when the runtime reports success.
bool SeekAbsolute(std::FILE* f, std::int64_t offset);
bool SeekRelative(std::FILE* f, std::int64_t distance);
// The current offset, or -1.
std::int64_t Tell(std::FILE* f);
// Reads exactly n bytes; false when fewer could be had.
inline bool ReadExact(std::FILE* f, void* buffer, std::size_t n) {
    return n == 0 || std::fread(buffer, 1, n, f) == n;
}

} // namespace stream
