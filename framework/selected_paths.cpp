#include "selected_paths.h"

#include "system_chars.h"

std::size_t SelectedPaths::LengthAt(const char* text) const {
    std::size_t offset = static_cast<std::size_t>(text - m_buffer);
    std::size_t length = 0;
    while (offset + length < m_size && text[length] != '\0')
        ++length;
    return length;
}

const char* SelectedPaths::GetStartPosition() const {
    if (m_buffer == nullptr || m_size == 0 || m_buffer[0] == '\0')
        return nullptr;
    return m_buffer;
}

std::string SelectedPaths::GetNextPathName(const char*& pos) const {
    if (pos == nullptr)
        return std::string();
    const char* end = m_buffer + m_size;
    std::size_t firstLength = LengthAt(m_buffer);
    const char* afterFirst = m_buffer + firstLength + 1;
    if (afterFirst >= end || *afterFirst == '\0') {
        // One file: the first string is its full path.
        pos = nullptr;
        return std::string(m_buffer, firstLength);
    }
    if (pos == m_buffer)
        pos = afterFirst;
    std::size_t nameLength = LengthAt(pos);
    std::string path(m_buffer, firstLength);
    // A folder whose last byte is the trail byte 0x5C of a double-byte character still needs
    // its separator.
    if (!EndsWithChar(path.data(), path.size(), '\\', SystemLeadByte))
        path += '\\';
    path.append(pos, nameLength);
    const char* next = pos + nameLength + 1;
    pos = (next < end && *next != '\0') ? next : nullptr;
    return path;
}
