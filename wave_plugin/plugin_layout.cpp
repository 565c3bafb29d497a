// The object layout the host relies on, checked at compile time in the 32-bit build.
#include "wave_plugin.h"

#if defined(_WIN32) && !defined(_WIN64)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
// The classes have virtual tables but no virtual bases, so offsetof is exact for them.
static_assert(sizeof(WavePlugin) == 1504, "WavePlugin is 1504 bytes");
static_assert(offsetof(WavePlugin, reserved004) == 0x004, "reserved area");
static_assert(offsetof(WavePlugin, capabilities) == 0x318, "capabilities");
static_assert(offsetof(WavePlugin, reservedValue) == 0x328, "reservedValue");
static_assert(offsetof(WavePlugin, capabilityValue) == 0x32C, "capabilityValue");
static_assert(offsetof(WavePlugin, isFloat) == 0x330, "isFloat");
static_assert(offsetof(WavePlugin, dataOffset) == 0x334, "dataOffset");
static_assert(offsetof(WavePlugin, info) == 0x338, "info");
static_assert(offsetof(WavePlugin, hostPlayList) == 0x388, "hostPlayList");
static_assert(offsetof(WavePlugin, hostMarkers) == 0x38C, "hostMarkers");
static_assert(offsetof(WavePlugin, playListCount) == 0x390, "playListCount");
static_assert(offsetof(WavePlugin, cueCount) == 0x394, "cueCount");
static_assert(offsetof(WavePlugin, openName) == 0x398, "openName");
static_assert(offsetof(WavePlugin, openPath) == 0x49C, "openPath");
static_assert(offsetof(WavePlugin, file) == 0x5A0, "file");
static_assert(offsetof(WavePlugin, cues) == 0x5A4, "cues");
static_assert(offsetof(WavePlugin, playList) == 0x5C0, "playList");
static_assert(offsetof(WavePlugin, framesRemaining) == 0x5DC, "framesRemaining");
static_assert(sizeof(CPtrList) == 28, "pointer list");

constexpr std::size_t kInfo = 0x338;
static_assert(kInfo + offsetof(WaveInfo, sampleRate) == 0x340, "sampleRate");
static_assert(kInfo + offsetof(WaveInfo, frameCount) == 0x348, "frameCount");
static_assert(kInfo + offsetof(WaveInfo, channels) == 0x350, "channels");
static_assert(kInfo + offsetof(WaveInfo, bitsPerSample) == 0x354, "bitsPerSample");
static_assert(kInfo + offsetof(WaveInfo, infoFlag) == 0x358, "infoFlag");
static_assert(kInfo + offsetof(WaveInfo, artist) == 0x35C, "artist");
static_assert(kInfo + offsetof(WaveInfo, title) == 0x360, "title");
static_assert(kInfo + offsetof(WaveInfo, rightsNotice) == 0x364, "rightsNotice");
static_assert(kInfo + offsetof(WaveInfo, comment) == 0x368, "comment");
static_assert(kInfo + offsetof(WaveInfo, filePath) == 0x36C, "filePath");
static_assert(kInfo + offsetof(WaveInfo, fileName) == 0x370, "fileName");
static_assert(kInfo + offsetof(WaveInfo, containerName) == 0x374, "containerName");
static_assert(kInfo + offsetof(WaveInfo, formatName) == 0x378, "formatName");
static_assert(kInfo + offsetof(WaveInfo, spareText) == 0x37C, "spareText");
static_assert(kInfo + offsetof(WaveInfo, spareBlock) == 0x380, "spareBlock");
static_assert(kInfo + offsetof(WaveInfo, reserved384) == 0x384, "reserved after the info");

static_assert(offsetof(CueRecord, cuePoint) == 0, "cue point");
static_assert(sizeof(PlayListRecord) == 12, "play-list segment");
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
#endif
