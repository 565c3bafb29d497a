#include "file_stream.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace stream {

void SetBinary(std::FILE* f) {
#if defined(_WIN32)
    _setmode(_fileno(f), _O_BINARY);
#else
    (void)f;
#endif
}

namespace {

bool Seek(std::FILE* f, std::int64_t offset, int whence) {
#if defined(_WIN32)
    return fseeko64(f, offset, whence) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), whence) == 0;
#endif
}

} // namespace

bool SeekAbsolute(std::FILE* f, std::int64_t offset) {
    return Seek(f, offset, SEEK_SET);
}

bool SeekRelative(std::FILE* f, std::int64_t distance) {
    return Seek(f, distance, SEEK_CUR);
}

std::int64_t Tell(std::FILE* f) {
#if defined(_WIN32)
    return ftello64(f);
#else
    return static_cast<std::int64_t>(ftello(f));
#endif
}

} // namespace stream
