// The wave plug-in object and the records it shares with the host.
//
// The host knows nothing of these classes by name: it calls the fifteen slots of FilePlugin
// through the object's virtual table and reads and writes the fields at fixed offsets (checked
// in plugin_layout.cpp for the 32-bit build). Slot 14 plays the part of the host compiler's
// deleting destructor: MinGW gives a C++ virtual destructor two slots, so it is an ordinary
// virtual function here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "pointer_list.h"

// The host's marker record: only these offsets belong to the plug-in; the record may be longer.
namespace host_marker {
constexpr std::size_t kLabel = 0x000;
constexpr std::size_t kNote = 0x080;
constexpr std::size_t kTextBytes = 128;
constexpr std::size_t kStart = 0x100;
constexpr std::size_t kEnd = 0x108;
constexpr std::size_t kMarkerType = 0x114;
constexpr std::size_t kPointFlag = 0x120;
constexpr std::size_t kMinimumBytes = 0x124;
} // namespace host_marker

// The host's play-list entry: a pointer to one of its marker records at offset 0, or null.
namespace host_play_list_entry {
constexpr std::size_t kMarker = 0x000;
}

enum MarkerType : std::int32_t {
    kMarkerPlain = 2,
    kMarkerRegion = 3,
    kMarkerInPlayList = 5,
};

// The container's name, given by GetFormatName and set by the header read and the writer.
constexpr char kContainerName[] = "RIFF Wave";
constexpr char kExtension[] = "wav";

constexpr std::size_t kPathBytes = 260;
constexpr std::size_t kTextBytes = 260;
constexpr std::size_t kCommentBytes = 520;
constexpr std::size_t kSpareBlockBytes = 2048;
constexpr std::size_t kCapabilityCount = 14;

// One cue point of the file being read.
struct CueRecord {
    unsigned char cuePoint[24]; // as stored: id, position, chunk id, chunk start, block start,
                                // sample offset
    char label[128];
    char note[128];
    std::int64_t start;
    std::int64_t end;
    std::int32_t markerType;

    std::uint32_t CueId() const;
};

// One play-list segment of the file being read.
struct PlayListRecord {
    std::uint32_t cueId;
    std::uint32_t length;
    std::uint32_t repeatCount;
};

// The abstract interface the host calls, slot by slot. Booleans come back as 32-bit 0 or 1 so
// that a caller testing either the low byte or the whole register reads them alike.
class FilePlugin {
public:
    virtual std::uint32_t GetCapabilities() = 0;                                         // 0
    virtual std::uint32_t GetFormatName(char* name, char* extension, std::uint32_t) = 0; // 1
    virtual void ReservedSlot2() = 0;                                                    // 2
    virtual void ReservedSlot3() = 0;                                                    // 3
    virtual std::int32_t OpenFile(const char* path, unsigned char forReading) = 0;       // 4
    virtual void CloseFile(unsigned char forReading) = 0;                                // 5
    virtual std::int32_t SeekFrame(std::int32_t frame) = 0;                              // 6
    virtual std::uint32_t QueryRead() = 0;                                               // 7
    virtual std::int32_t BeginRead() = 0;                                                // 8
    virtual std::int32_t ReadHeader() = 0;                                               // 9
    virtual std::int32_t ReadSamples(void* buffer, std::int32_t bufferBytes) = 0;        // 10
    virtual std::uint32_t QueryWrite() = 0;                                              // 11
    virtual std::int32_t WriteHeader() = 0;                                              // 12
    virtual std::int32_t WriteSamples(void* buffer, std::int32_t bufferBytes,
                                      std::int32_t frames) = 0; // 13
    virtual void* Destroy(std::uint32_t flags) = 0;             // 14

protected:
    FilePlugin() = default;
    ~FilePlugin() = default;
};

// The audio properties and text buffers, embedded in the plug-in object.
class WaveInfo {
public:
    WaveInfo();
    // The one slot of its table: destroys the object and, with bit 0 set, frees its memory.
    virtual void* Destroy(std::uint32_t flags);
    // False when a buffer could not be allocated at construction.
    bool Complete() const;

    std::uint32_t reserved33C;
    std::uint32_t sampleRate;
    std::uint32_t reserved344;
    std::int64_t frameCount;
    std::int32_t channels;
    std::int32_t bitsPerSample;
    unsigned char infoFlag;
    char* artist;
    char* title;
    char* rightsNotice;
    char* comment;
    char* filePath;
    char* fileName;
    char* containerName;
    char* formatName;
    char* spareText;
    char* spareBlock;
    std::uint32_t reserved384; // not used by the plug-in; the host may use it

protected:
    ~WaveInfo();
    WaveInfo(const WaveInfo&) = delete;
    WaveInfo& operator=(const WaveInfo&) = delete;
    friend class WavePlugin;
};

class WavePlugin final : public FilePlugin {
public:
    // Allocates and constructs an object; null when memory is short.
    static WavePlugin* Create();

    std::uint32_t GetCapabilities() override;
    std::uint32_t GetFormatName(char* name, char* extension, std::uint32_t) override;
    void ReservedSlot2() override;
    void ReservedSlot3() override;
    std::int32_t OpenFile(const char* path, unsigned char forReading) override;
    void CloseFile(unsigned char forReading) override;
    std::int32_t SeekFrame(std::int32_t frame) override;
    std::uint32_t QueryRead() override;
    std::int32_t BeginRead() override;
    std::int32_t ReadHeader() override;
    std::int32_t ReadSamples(void* buffer, std::int32_t bufferBytes) override;
    std::uint32_t QueryWrite() override;
    std::int32_t WriteHeader() override;
    std::int32_t WriteSamples(void* buffer, std::int32_t bufferBytes, std::int32_t frames) override;
    void* Destroy(std::uint32_t flags) override;

    unsigned char reserved004[788];
    unsigned char capabilities[kCapabilityCount];
    unsigned char padding326[2];
    std::uint32_t reservedValue;
    std::uint32_t capabilityValue;
    std::int32_t isFloat;
    std::uint32_t dataOffset;
    WaveInfo info;
    CPtrList* hostPlayList;
    CPtrList* hostMarkers;
    std::int32_t playListCount;
    std::int32_t cueCount;
    char openName[kPathBytes];
    char openPath[kPathBytes];
    std::FILE* file;
    CPtrList cues;
    CPtrList playList;
    std::int32_t framesRemaining;

private:
    WavePlugin();
    ~WavePlugin();
    WavePlugin(const WavePlugin&) = delete;
    WavePlugin& operator=(const WavePlugin&) = delete;

    void FreeRecords();
    void HandOver();
    void HandOverPlayList();
    void HandOverPlayListPlain();
    void SetFramesRemaining(std::int64_t frames);
};
