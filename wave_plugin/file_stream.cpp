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

bool SeekAbsolute(std::FILE* f, std::int64_t offset) {
#if defined(_WIN32)
    return fseeko64(f, offset, SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool SeekRelative(std::FILE* f, std::int64_t distance) {
#if defined(_WIN32)
    return fseeko64(f, distance, SEEK_CUR) == 0;
#else
    return fseeko(f, static_cast<off_t>(distance), SEEK_CUR) == 0;
#endif
}

std::int64_t Tell(std::FILE* f) {
#if defined(_WIN32)
    return ftello64(f);
#else
    return static_cast<std::int64_t>(ftello(f));
#endif
}

} // namespace stream
