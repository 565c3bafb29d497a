// The walk over the names that a multiple-selection file-open dialog returns in its buffer:
// either one full path, or a folder followed by one name per chosen file, each ended by a
// NUL, the whole ended by a second NUL.
#pragma once

#include <cstddef>
#include <string>

class SelectedPaths {
public:
    // The buffer must hold the double NUL within its size.
    SelectedPaths(const char* buffer, std::size_t size) : m_buffer(buffer), m_size(size) {}

    // The first position, or null when nothing was chosen.
    const char* GetStartPosition() const;
    // The full path at pos; advances pos to the next name, or to null after the last.
    std::string GetNextPathName(const char*& pos) const;

private:
    std::size_t LengthAt(const char* text) const;

    const char* m_buffer;
    std::size_t m_size;
};
