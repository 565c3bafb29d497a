// The host's marker and play-list records, by byte offset: the fields the plug-in reads and
// writes, and accessors that read and write them without assuming any alignment. The hand-over,
// the writer and the tests all go through these. The records belong to the host and may be
// longer; the plug-in touches nothing else in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace host_record {

template <typename T> T Get(const void* record, std::size_t offset) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(record) + offset, sizeof v);
    return v;
}

template <typename T> void Put(void* record, std::size_t offset, T v) {
    std::memcpy(static_cast<unsigned char*>(record) + offset, &v, sizeof v);
}

} // namespace host_record

namespace host_marker {

constexpr std::size_t kLabel = 0x000;
constexpr std::size_t kNote = 0x080;
constexpr std::size_t kTextBytes = 128;
constexpr std::size_t kStart = 0x100;
constexpr std::size_t kEnd = 0x108;
constexpr std::size_t kMarkerType = 0x114;
constexpr std::size_t kPointFlag = 0x120;
constexpr std::size_t kMinimumBytes = 0x124;

inline const char* Label(const void* m) {
    return static_cast<const char*>(m) + kLabel;
}
inline const char* Note(const void* m) {
    return static_cast<const char*>(m) + kNote;
}
inline std::int64_t Start(const void* m) {
    return host_record::Get<std::int64_t>(m, kStart);
}
inline std::int64_t End(const void* m) {
    return host_record::Get<std::int64_t>(m, kEnd);
}
// The low words of start and end: what the writer stores of them.
inline std::uint32_t StartLow(const void* m) {
    return host_record::Get<std::uint32_t>(m, kStart);
}
inline std::uint32_t EndLow(const void* m) {
    return host_record::Get<std::uint32_t>(m, kEnd);
}
inline std::int32_t Type(const void* m) {
    return host_record::Get<std::int32_t>(m, kMarkerType);
}
inline std::int32_t PointFlag(const void* m) {
    return host_record::Get<std::int32_t>(m, kPointFlag);
}

// Copies a text with its NUL into the label or note field; the caller keeps it within the field.
inline void SetText(void* m, std::size_t field, const char* text) {
    std::memcpy(static_cast<unsigned char*>(m) + field, text, std::strlen(text) + 1);
}
inline void SetStart(void* m, std::int64_t v) {
    host_record::Put(m, kStart, v);
}
inline void SetEnd(void* m, std::int64_t v) {
    host_record::Put(m, kEnd, v);
}
inline void SetType(void* m, std::int32_t v) {
    host_record::Put(m, kMarkerType, v);
}
inline void SetPointFlag(void* m, std::int32_t v) {
    host_record::Put(m, kPointFlag, v);
}

} // namespace host_marker

// The host's play-list entry: a pointer to one of its marker records at offset 0, or null.
namespace host_play_list_entry {

constexpr std::size_t kMarker = 0x000;

inline void* Marker(const void* e) {
    return host_record::Get<void*>(e, kMarker);
}
inline void SetMarker(void* e, void* marker) {
    host_record::Put(e, kMarker, marker);
}

} // namespace host_play_list_entry
