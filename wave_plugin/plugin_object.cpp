// Construction and destruction of the plug-in object, and its simple operations: capabilities,
// names, open, close with the RIFF size patch, seek and the read entry point.
#include "wave_plugin.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "chunk_writer.h"
#include "file_stream.h"
#include "riff_bytes.h"
#include "system_chars.h"

namespace {

char* NewBuffer(std::size_t bytes) {
    return static_cast<char*>(std::calloc(bytes, 1));
}

} // namespace

std::uint32_t CueRecord::CueId() const {
    return riff::read_u32le(cuePoint + riff::cue_point::kCueId);
}

bool CueRecord::Key(const void* element, std::uint64_t* key) {
    if (element == nullptr)
        return false;
    *key = static_cast<const CueRecord*>(element)->CueId();
    return true;
}

// --- WaveInfo ---------------------------------------------------------------------------------

WaveInfo::WaveInfo() : reserved33C(0), reserved344(0), infoFlag(0), reserved384(0) {
    artist = NewBuffer(kTextBytes);
    title = NewBuffer(kTextBytes);
    rightsNotice = NewBuffer(kTextBytes);
    comment = NewBuffer(kCommentBytes);
    filePath = NewBuffer(kTextBytes);
    fileName = NewBuffer(kTextBytes);
    containerName = NewBuffer(kTextBytes);
    formatName = NewBuffer(kTextBytes);
    spareText = NewBuffer(kTextBytes);
    spareBlock = NewBuffer(kSpareBlockBytes);
    sampleRate = 0;
    frameCount = 0;
    channels = 0;
    bitsPerSample = 0;
    infoFlag = 0;
}

WaveInfo::~WaveInfo() {
    char* buffers[] = {artist,   title,         rightsNotice, comment,   filePath,
                       fileName, containerName, formatName,   spareText, spareBlock};
    for (char* buffer : buffers)
        std::free(buffer);
}

bool WaveInfo::Complete() const {
    return artist && title && rightsNotice && comment && filePath && fileName && containerName &&
           formatName && spareText && spareBlock;
}

void* WaveInfo::Destroy(std::uint32_t flags) {
    this->WaveInfo::~WaveInfo();
    if (flags & 1)
        ::operator delete(this);
    return this;
}

// --- WavePlugin: life cycle -------------------------------------------------------------------

WavePlugin::WavePlugin()
    : reservedValue(0), capabilityValue(0), isFloat(0), dataOffset(0), hostPlayList(nullptr),
      hostMarkers(nullptr), playListCount(0), cueCount(0), file(nullptr), cues(10), playList(10),
      framesRemaining(0) {
    std::memset(reserved004, 0, sizeof reserved004);
    std::memset(capabilities, 0, sizeof capabilities);
    std::memset(padding326, 0, sizeof padding326);
    std::memset(openName, 0, sizeof openName);
    std::memset(openPath, 0, sizeof openPath);
}

WavePlugin::~WavePlugin() {
    FreeRecords();
}

WavePlugin* WavePlugin::Create() {
    void* memory = ::operator new(sizeof(WavePlugin), std::nothrow);
    if (memory == nullptr)
        return nullptr;
    WavePlugin* plugin = new (memory) WavePlugin();
    if (!plugin->info.Complete()) {
        plugin->Destroy(1);
        return nullptr;
    }
    return plugin;
}

void* WavePlugin::Destroy(std::uint32_t flags) {
    this->~WavePlugin();
    if (flags & 1)
        ::operator delete(this);
    return this;
}

void WavePlugin::FreeRecords() {
    POSITION pos = cues.GetHeadPosition();
    while (pos != nullptr)
        delete static_cast<CueRecord*>(cues.GetNext(pos));
    cues.RemoveAll();
    pos = playList.GetHeadPosition();
    while (pos != nullptr)
        delete static_cast<PlayListRecord*>(playList.GetNext(pos));
    playList.RemoveAll();
}

void WavePlugin::SetFramesRemaining(std::int64_t frames) {
    if (frames < 0)
        frames = 0;
    if (frames > INT32_MAX)
        frames = INT32_MAX;
    framesRemaining = static_cast<std::int32_t>(frames);
}

// --- WavePlugin: simple operations ------------------------------------------------------------

std::uint32_t WavePlugin::GetCapabilities() {
    std::memcpy(capabilities, kCapabilityValues, kCapabilityCount);
    capabilityValue = kCapabilityValue;
    return 1;
}

std::uint32_t WavePlugin::GetFormatName(char* name, char* extension, std::uint32_t) {
    if (name != nullptr)
        std::memcpy(name, kContainerName, sizeof kContainerName);
    if (extension != nullptr)
        std::memcpy(extension, kExtension, sizeof kExtension);
    return 0;
}

void WavePlugin::ReservedSlot2() {}
void WavePlugin::ReservedSlot3() {}
std::uint32_t WavePlugin::QueryRead() {
    return kQueryResult;
}
std::uint32_t WavePlugin::QueryWrite() {
    return kQueryResult;
}

std::int32_t WavePlugin::OpenFile(const char* path, unsigned char forReading) {
    if (path == nullptr || path[0] == '\0')
        return 0;
    // The name buffers hold 259 characters and the NUL; a longer path is refused outright.
    std::size_t length = std::strlen(path);
    if (length >= kPathBytes)
        return 0;
    // A file for writing is also opened for reading: the close reads back which layout the
    // header took before it fills in the sizes.
    file = std::fopen(path, forReading ? "r" : "w+");
    if (file == nullptr)
        return 0;
    stream::SetBinary(file);
    // After the last "\" character; a trail byte of that value is part of the name.
    const std::size_t slash = FindLastChar(path, length, '\\', SystemLeadByte);
    const char* name = slash != length ? path + slash + 1 : path;
    std::memcpy(openName, name, std::strlen(name) + 1);
    std::memcpy(openPath, path, length + 1);
    return 1;
}

void WavePlugin::CloseFile(unsigned char forReading) {
    if (file != nullptr) {
        if (!forReading)
            riff::FinishFile(file, info.FrameBytes());
        std::fclose(file);
        file = nullptr;
    }
    FreeRecords();
}

std::int32_t WavePlugin::SeekFrame(std::int32_t frame) {
    if (file == nullptr || frame < 0)
        return 0;
    // Formed in 64 bits; the host's fields are 16-bit values in practice, and wrap-around
    // arithmetic keeps absurd ones defined.
    std::int64_t bits = static_cast<std::int64_t>(static_cast<std::uint64_t>(frame) *
                                                  static_cast<std::uint64_t>(info.channels) *
                                                  static_cast<std::uint64_t>(info.bitsPerSample));
    std::int64_t offset = static_cast<std::int64_t>(dataOffset) + bits / 8;
    if (!stream::SeekAbsolute(file, offset))
        return 0;
    SetFramesRemaining(info.frameCount - frame);
    return 1;
}

std::int32_t WavePlugin::BeginRead() {
    std::memcpy(info.filePath, openPath, kPathBytes);
    std::memcpy(info.fileName, openName, kPathBytes);
    return ReadHeader();
}
