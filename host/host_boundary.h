/* The wave plug-in's boundary as the host sees it: the exports, the virtual table of the
 * plug-in object, the object's fields by byte offset, the host-owned marker and play-list
 * records and the 28-byte pointer list in which the host keeps them. 32-bit Windows only. */
#ifndef WAVEHOST_HOST_BOUNDARY_H
#define WAVEHOST_HOST_BOUNDARY_H

#include <stddef.h>
#include <stdint.h>

/* Compile-time check that works in C99. */
#define HOST_ASSERT(name, cond) typedef char host_assert_##name[(cond) ? 1 : -1]

#define HOST_THISCALL __attribute__((thiscall))

/* ---- Exports (plain __cdecl C functions) ---- */
typedef unsigned int(__cdecl* QueryPluginTypeFn)(char* buffer);
typedef void*(__cdecl* ReturnPluginObjectFn)(void);
typedef void(__cdecl* DeletePluginObjectFn)(void* object);

/* ---- The fifteen slots of the plug-in object's virtual table ----
 * Boolean results are one byte: only AL is meaningful. */
typedef int(HOST_THISCALL* GetCapabilitiesFn)(void* self);
typedef int(HOST_THISCALL* GetFormatNameFn)(void* self, char* name, char* extension, int unused);
typedef void(HOST_THISCALL* ReservedSlotFn)(void* self);
typedef unsigned char(HOST_THISCALL* OpenFileFn)(void* self, const char* path,
                                                 unsigned char forReading);
typedef void(HOST_THISCALL* CloseFileFn)(void* self, unsigned char forReading);
typedef int(HOST_THISCALL* SeekFrameFn)(void* self, int32_t frame);
typedef int(HOST_THISCALL* QueryFn)(void* self);
typedef unsigned char(HOST_THISCALL* BoolFn)(void* self);
typedef int32_t(HOST_THISCALL* ReadSamplesFn)(void* self, void* buffer, int32_t bufferBytes);
typedef int32_t(HOST_THISCALL* WriteSamplesFn)(void* self, void* buffer, int32_t bufferBytes,
                                               int32_t frames);
typedef void(HOST_THISCALL* DestroyFn)(void* self, unsigned int flags);

typedef struct FilePluginVtbl {
    GetCapabilitiesFn GetCapabilities; /* 0 */
    GetFormatNameFn GetFormatName;     /* 1 */
    ReservedSlotFn ReservedSlot2;      /* 2 */
    ReservedSlotFn ReservedSlot3;      /* 3 */
    OpenFileFn OpenFile;               /* 4 */
    CloseFileFn CloseFile;             /* 5 */
    SeekFrameFn SeekFrame;             /* 6 */
    QueryFn QueryRead;                 /* 7 */
    BoolFn BeginRead;                  /* 8 */
    BoolFn ReadHeader;                 /* 9 */
    ReadSamplesFn ReadSamples;         /* 10 */
    QueryFn QueryWrite;                /* 11 */
    BoolFn WriteHeader;                /* 12 */
    WriteSamplesFn WriteSamples;       /* 13 */
    DestroyFn Destroy;                 /* 14 */
} FilePluginVtbl;
HOST_ASSERT(vtable_slots, sizeof(FilePluginVtbl) == 15 * 4);
HOST_ASSERT(slot_write_samples, offsetof(FilePluginVtbl, WriteSamples) == 13 * 4);

/* ---- Fields of the plug-in object (1504 bytes), by offset ---- */
enum {
    WP_OBJECT_BYTES = 1504,
    WP_CAPABILITIES = 0x318,
    WP_CAPABILITY_COUNT = 14,
    WP_CAPABILITY_VALUE = 0x32C,
    WP_IS_FLOAT = 0x330,
    WP_DATA_OFFSET = 0x334,
    WP_SAMPLE_RATE = 0x340,
    WP_FRAME_COUNT = 0x348, /* signed 64-bit */
    WP_CHANNELS = 0x350,
    WP_BITS_PER_SAMPLE = 0x354,
    WP_ARTIST = 0x35C, /* text buffer pointers */
    WP_TITLE = 0x360,
    WP_RIGHTS_NOTICE = 0x364,
    WP_COMMENT = 0x368,
    WP_FILE_PATH = 0x36C,
    WP_FILE_NAME = 0x370,
    WP_CONTAINER_NAME = 0x374,
    WP_FORMAT_NAME = 0x378,
    WP_HOST_PLAY_LIST = 0x388,
    WP_HOST_MARKERS = 0x38C,
    WP_PLAY_LIST_COUNT = 0x390,
    WP_CUE_COUNT = 0x394,
    WP_OPEN_NAME = 0x398, /* the plug-in's own fields, which the host leaves alone */
    WP_OPEN_PATH = 0x49C,
    WP_FILE = 0x5A0,
    WP_FRAMES_REMAINING = 0x5DC,
    WP_TEXT_BYTES = 260,
    WP_COMMENT_BYTES = 520,
};

/* ---- The host's pointer list: 28 bytes; node: next, previous, data ---- */
typedef struct HostNode {
    struct HostNode* next;
    struct HostNode* prev;
    void* data;
} HostNode;

typedef struct HostList {
    const void* vtable;
    HostNode* head;
    HostNode* tail;
    int32_t count;
    HostNode* freeChain;
    void* blocks;
    int32_t blockSize;
} HostList;
HOST_ASSERT(list_size, sizeof(HostList) == 28);
HOST_ASSERT(list_head, offsetof(HostList, head) == 4);
HOST_ASSERT(list_count, offsetof(HostList, count) == 12);
HOST_ASSERT(list_block_size, offsetof(HostList, blockSize) == 24);
HOST_ASSERT(node_size, sizeof(HostNode) == 12);
HOST_ASSERT(node_data, offsetof(HostNode, data) == 8);

/* ---- Host records ----
 * A marker: the plug-in reads and writes label, note, start, end, markerType and pointFlag;
 * the other bytes are the host's own. */
typedef struct HostMarker {
    char label[128];      /* 0x000 */
    char note[128];       /* 0x080 */
    int64_t start;        /* 0x100 */
    int64_t end;          /* 0x108 */
    uint32_t hostValue;   /* 0x110, host's */
    int32_t markerType;   /* 0x114: 2 marker, 3 region, 5 used by a play-list entry */
    uint32_t hostData[2]; /* 0x118, host's */
    int32_t pointFlag;    /* 0x120 */
    uint32_t hostTail;    /* 0x124, host's */
} HostMarker;
HOST_ASSERT(marker_note, offsetof(HostMarker, note) == 0x080);
HOST_ASSERT(marker_start, offsetof(HostMarker, start) == 0x100);
HOST_ASSERT(marker_end, offsetof(HostMarker, end) == 0x108);
HOST_ASSERT(marker_type, offsetof(HostMarker, markerType) == 0x114);
HOST_ASSERT(marker_point, offsetof(HostMarker, pointFlag) == 0x120);
HOST_ASSERT(marker_size, sizeof(HostMarker) == 0x128);

/* A play-list entry: the plug-in reads and writes only the marker pointer. */
typedef struct HostPlayListEntry {
    HostMarker* marker;   /* 0x000 */
    uint32_t hostData[3]; /* host's */
} HostPlayListEntry;
HOST_ASSERT(entry_marker, offsetof(HostPlayListEntry, marker) == 0);

#endif
