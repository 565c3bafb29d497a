/* wavehost: a stand-in for the sound editor that loads wave.dll.
 *
 * It knows the plug-in only through its boundary: three exported C functions, an object whose
 * virtual table holds fifteen __thiscall operations, data fields at fixed byte offsets, and
 * host-owned pointer lists of marker and play-list records that the plug-in walks by their
 * byte layout. Everything here is declared from that boundary; nothing comes from the
 * plug-in's own sources.
 *
 *   wavehost [--plugin DLL] [--buffer BYTES] info FILE...
 *   wavehost [--plugin DLL] [--buffer BYTES] copy IN OUT
 *   wavehost [--plugin DLL] [--buffer BYTES] [--seek FRAME] dump IN OUT.raw
 *   wavehost [--plugin DLL] plugin
 *
 * --trace logs every call into the plug-in on standard error.
 */
/* 64-bit values are printed with %lld, which MinGW's own printf understands on every Windows;
 * the printf of Visual C++ 6's msvcrt.dll does not. */
#define __USE_MINGW_ANSI_STDIO 1
#include <windows.h>
#include <errno.h>
#include <limits.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "host_boundary.h"
#include "system_chars.h"

#if !__USE_MINGW_ANSI_STDIO
#error "wavehost prints 64-bit values with %lld and needs MinGW's printf"
#endif

enum {
    EXIT_FILE = 1,     /* file not opened, not a PCM WAVE file, write failure */
    EXIT_USAGE = 2,    /* bad command line */
    EXIT_PLUGIN = 3,   /* library or export missing, no object */
    EXIT_BOUNDARY = 4, /* the plug-in wrote where the host owns the memory */
};

static const char* g_prog = "wavehost";

static void fail_line(const char* fmt, ...) {
    va_list ap;
    fprintf(stderr, "%s: ", g_prog);
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fputc('\n', stderr);
}

/* ---- Host pointer lists, built by hand in the 28-byte layout -------------------------- */

/* The plug-in never calls through a host list's virtual table; it still gets a valid one. */
static void dummy_list_slot(void) {}
static void (*const g_dummy_list_vtable[4])(void) = {dummy_list_slot, dummy_list_slot,
                                                     dummy_list_slot, dummy_list_slot};

/* Builds a list of `count` elements taken from `elements`, all nodes in one block. Returns
 * false when no memory can be had. */
static int host_list_init(HostList* list, void** elements, int count) {
    int i;
    memset(list, 0, sizeof *list);
    list->vtable = g_dummy_list_vtable;
    list->blockSize = count > 0 ? count : 10;
    if (count <= 0)
        return 1;
    /* A block: the link to the next block, then the nodes. */
    list->blocks = calloc(1, sizeof(void*) + (size_t)count * sizeof(HostNode));
    if (!list->blocks)
        return 0;
    HostNode* nodes = (HostNode*)((char*)list->blocks + sizeof(void*));
    for (i = 0; i < count; ++i) {
        nodes[i].prev = i > 0 ? &nodes[i - 1] : NULL;
        nodes[i].next = i + 1 < count ? &nodes[i + 1] : NULL;
        nodes[i].data = elements[i];
    }
    list->head = &nodes[0];
    list->tail = &nodes[count - 1];
    list->count = count;
    return 1;
}

static void host_list_free(HostList* list) {
    free(list->blocks);
    memset(list, 0, sizeof *list);
}

/* ---- The host's marker and play-list records ------------------------------------------ */

/* Host-only bytes of a record carry this pattern; the plug-in must leave them alone. */
#define HOST_CANARY 0x5Au
/* A path of MAX_PATH characters in bytes: two for each in a double-byte code page. */
#define PATH_BYTES (2 * MAX_PATH)

typedef struct HostRecords {
    int markerCount;
    HostMarker* markers;
    void** markerPtrs;
    HostList markerList;
    int entryCount;
    HostPlayListEntry* entries;
    void** entryPtrs;
    HostList playList;
} HostRecords;

static void fill_host_only(HostMarker* m) {
    memset(&m->hostValue, HOST_CANARY, sizeof m->hostValue);
    memset(m->hostData, HOST_CANARY, sizeof m->hostData);
    memset(&m->hostTail, HOST_CANARY, sizeof m->hostTail);
}

static int all_canary(const void* p, size_t n) {
    const unsigned char* b = (const unsigned char*)p;
    size_t i;
    for (i = 0; i < n; ++i)
        if (b[i] != HOST_CANARY)
            return 0;
    return 1;
}

static void host_records_free(HostRecords* r) {
    host_list_free(&r->markerList);
    host_list_free(&r->playList);
    free(r->markers);
    free(r->markerPtrs);
    free(r->entries);
    free(r->entryPtrs);
    memset(r, 0, sizeof *r);
}

/* Allocates zeroed records (host-only bytes carry the canary) and the two lists. */
static int host_records_init(HostRecords* r, int markerCount, int entryCount) {
    int i;
    memset(r, 0, sizeof *r);
    if (markerCount < 0)
        markerCount = 0;
    if (entryCount < 0)
        entryCount = 0;
    r->markerCount = markerCount;
    r->entryCount = entryCount;
    r->markers = calloc((size_t)markerCount + 1, sizeof(HostMarker));
    r->markerPtrs = calloc((size_t)markerCount + 1, sizeof(void*));
    r->entries = calloc((size_t)entryCount + 1, sizeof(HostPlayListEntry));
    r->entryPtrs = calloc((size_t)entryCount + 1, sizeof(void*));
    if (!r->markers || !r->markerPtrs || !r->entries || !r->entryPtrs)
        goto fail;
    for (i = 0; i < markerCount; ++i) {
        fill_host_only(&r->markers[i]);
        r->markerPtrs[i] = &r->markers[i];
    }
    for (i = 0; i < entryCount; ++i) {
        memset(r->entries[i].hostData, HOST_CANARY, sizeof r->entries[i].hostData);
        r->entryPtrs[i] = &r->entries[i];
    }
    if (!host_list_init(&r->markerList, r->markerPtrs, markerCount) ||
        !host_list_init(&r->playList, r->entryPtrs, entryCount))
        goto fail;
    return 1;
fail:
    host_records_free(r);
    return 0;
}

/* Returns the 0-based index of `m` among the host's markers, or -1. */
static int marker_index(const HostRecords* r, const void* m) {
    int i;
    for (i = 0; i < r->markerCount; ++i)
        if (m == &r->markers[i])
            return i;
    return -1;
}

/* A list exactly as host_list_init built it: the plug-in only walks host lists. */
static int list_intact(const HostList* list, void* const* elements, int count) {
    const HostNode* nodes =
        list->blocks ? (const HostNode*)((char*)list->blocks + sizeof(void*)) : NULL;
    int i;
    if (list->vtable != g_dummy_list_vtable || list->count != count || list->freeChain ||
        list->blockSize != (count > 0 ? count : 10))
        return 0;
    if (count == 0)
        return !list->head && !list->tail && !list->blocks;
    if (list->head != &nodes[0] || list->tail != &nodes[count - 1])
        return 0;
    for (i = 0; i < count; ++i) {
        if (nodes[i].data != elements[i] || nodes[i].prev != (i > 0 ? &nodes[i - 1] : NULL) ||
            nodes[i].next != (i + 1 < count ? &nodes[i + 1] : NULL))
            return 0;
    }
    return 1;
}

/* After the hand-over: the host's lists and its own bytes of each record must be untouched. */
static int check_host_only(const HostRecords* r) {
    int i;
    if (!list_intact(&r->markerList, r->markerPtrs, r->markerCount) ||
        !list_intact(&r->playList, r->entryPtrs, r->entryCount)) {
        fail_line("plug-in changed a host list");
        return 0;
    }
    for (i = 0; i < r->markerCount; ++i) {
        const HostMarker* m = &r->markers[i];
        if (!all_canary(&m->hostValue, sizeof m->hostValue) ||
            !all_canary(m->hostData, sizeof m->hostData) ||
            !all_canary(&m->hostTail, sizeof m->hostTail)) {
            fail_line("plug-in wrote into a host-only field of marker %d", i);
            return 0;
        }
    }
    for (i = 0; i < r->entryCount; ++i) {
        if (!all_canary(r->entries[i].hostData, sizeof r->entries[i].hostData)) {
            fail_line("plug-in wrote into a host-only field of play-list entry %d", i);
            return 0;
        }
    }
    return 1;
}

/* ---- The plug-in library -------------------------------------------------------------- */

typedef struct Plugin {
    HMODULE module;
    QueryPluginTypeFn queryType;
    ReturnPluginObjectFn returnObject;
    DeletePluginObjectFn deleteObject;
} Plugin;

static int plugin_load(Plugin* p, const char* path) {
    char buf[PATH_BYTES + 16];
    memset(p, 0, sizeof *p);
    if (!path) {
        /* wave.dll next to this program */
        DWORD n = GetModuleFileNameA(NULL, buf, PATH_BYTES);
        char* slash;
        if (n == 0 || n >= PATH_BYTES) {
            fail_line("cannot find the program's own folder");
            return 0;
        }
        buf[n] = '\0';
        slash = buf + FindLastChar(buf, n, '\\', SystemLeadByte);
        strcpy(*slash != '\0' ? slash + 1 : buf, "wave.dll");
        path = buf;
    }
    p->module = LoadLibraryA(path);
    if (!p->module) {
        fail_line("cannot load plug-in %s (error %lu)", path, (unsigned long)GetLastError());
        return 0;
    }
    p->queryType = (QueryPluginTypeFn)(void*)GetProcAddress(p->module, "QueryPluginType");
    p->returnObject = (ReturnPluginObjectFn)(void*)GetProcAddress(p->module, "ReturnPluginObject");
    p->deleteObject = (DeletePluginObjectFn)(void*)GetProcAddress(p->module, "DeletePluginObject");
    if (!p->queryType || !p->returnObject || !p->deleteObject) {
        fail_line("%s does not export QueryPluginType, ReturnPluginObject and "
                  "DeletePluginObject",
                  path);
        FreeLibrary(p->module);
        p->module = NULL;
        return 0;
    }
    return 1;
}

static void* call_new(const Plugin* p);

static void* plugin_new_object(const Plugin* p) {
    void* obj = call_new(p);
    if (!obj)
        fail_line("the plug-in returned no object");
    return obj;
}

/* ---- Object fields, by offset ----------------------------------------------------------- */

static const FilePluginVtbl* vt(void* obj) {
    return *(const FilePluginVtbl* const*)obj;
}

static int32_t get_i32(const void* obj, size_t off) {
    int32_t v;
    memcpy(&v, (const char*)obj + off, sizeof v);
    return v;
}

static void set_i32(void* obj, size_t off, int32_t v) {
    memcpy((char*)obj + off, &v, sizeof v);
}

static int64_t get_i64(const void* obj, size_t off) {
    int64_t v;
    memcpy(&v, (const char*)obj + off, sizeof v);
    return v;
}

static void set_ptr(void* obj, size_t off, void* v) {
    memcpy((char*)obj + off, &v, sizeof v);
}

static char* text_buffer(const void* obj, size_t off) {
    char* p;
    memcpy(&p, (const char*)obj + off, sizeof p);
    return p;
}

/* Length of a text in a buffer of `size` bytes, not trusting a terminator. */
static size_t text_len(const char* s, size_t size) {
    const char* nul = s ? memchr(s, '\0', size) : NULL;
    return s ? (nul ? (size_t)(nul - s) : size) : 0;
}

static const struct InfoText {
    const char* key;
    size_t offset;
    size_t size;
} kInfoTexts[] = {
    {"title", WP_TITLE, WP_TEXT_BYTES},
    {"artist", WP_ARTIST, WP_TEXT_BYTES},
    {"copyright", WP_RIGHTS_NOTICE, WP_TEXT_BYTES},
    {"comment", WP_COMMENT, WP_COMMENT_BYTES},
};

/* ---- Calls into the plug-in; with --trace each one is logged on standard error ---------- */

static int g_trace;

static void trace(const char* fmt, ...) {
    va_list ap;
    if (!g_trace)
        return;
    fputs("call ", stderr);
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
    fputc('\n', stderr);
}

static void* call_new(const Plugin* p) {
    void* obj = p->returnObject();
    trace("ReturnPluginObject -> %s", obj ? "object" : "null");
    return obj;
}

static void call_delete(const Plugin* p, void* obj) {
    trace("DeletePluginObject(%s)", obj ? "object" : "null");
    p->deleteObject(obj);
}

static int call_capabilities(void* obj) {
    int r = vt(obj)->GetCapabilities(obj);
    trace("GetCapabilities -> %d", r);
    return r;
}

static int call_query(void* obj, int forReading) {
    int r = forReading ? vt(obj)->QueryRead(obj) : vt(obj)->QueryWrite(obj);
    trace("%s -> %d", forReading ? "QueryRead" : "QueryWrite", r);
    return r;
}

static int call_open(void* obj, const char* path, int forReading) {
    int r = vt(obj)->OpenFile(obj, path, (unsigned char)(forReading != 0)) != 0;
    trace("OpenFile(%s, %d) -> %d", path, forReading, r);
    return r;
}

static int call_begin_read(void* obj) {
    int r = vt(obj)->BeginRead(obj) != 0;
    trace("BeginRead -> %d", r);
    return r;
}

static int32_t call_read_samples(void* obj, void* buffer, int32_t bytes) {
    int32_t r = vt(obj)->ReadSamples(obj, buffer, bytes);
    trace("ReadSamples(%ld) -> %ld", (long)bytes, (long)r);
    return r;
}

static int call_seek(void* obj, int32_t frame) {
    int r = vt(obj)->SeekFrame(obj, frame);
    trace("SeekFrame(%ld) -> %d", (long)frame, r);
    return r;
}

static int call_write_header(void* obj) {
    int r = vt(obj)->WriteHeader(obj) != 0;
    trace("WriteHeader -> %d", r);
    return r;
}

static int32_t call_write_samples(void* obj, void* buffer, int32_t bytes, int32_t frames) {
    int32_t r = vt(obj)->WriteSamples(obj, buffer, bytes, frames);
    trace("WriteSamples(%ld, %ld) -> %ld", (long)bytes, (long)frames, (long)r);
    return r;
}

static void call_close(void* obj, int forReading) {
    trace("CloseFile(%d)", forReading);
    vt(obj)->CloseFile(obj, (unsigned char)(forReading != 0));
}

/* Attaching or detaching the host's lists is no call, but part of the order. */
static void attach_lists(void* obj, HostList* markers, HostList* playList) {
    set_ptr(obj, WP_HOST_MARKERS, markers);
    set_ptr(obj, WP_HOST_PLAY_LIST, playList);
    if (markers && g_trace)
        fprintf(stderr, "host attaches %ld markers, %ld play-list entries\n", (long)markers->count,
                (long)playList->count);
}

/* ---- Reading ---------------------------------------------------------------------------- */

typedef struct Reader {
    void* obj;
    HostRecords records;
    unsigned char* buffer;
    int bufferBytes;
    int frameBytes;
    int64_t frameCount;
    const char* path;
} Reader;

static void print_header(const Reader* rd, FILE* out);

static int capped_count(int32_t count, const char* path, unsigned recordBytes) {
    WIN32_FIND_DATAA found;
    HANDLE search;
    uint64_t limit = 0;
    if (count <= 0)
        return 0;
    /* The file's size as Windows 95 can tell it without opening the file; a name with wildcards
     * could match another file, so it has no size here. */
    if (!strpbrk(path, "*?")) {
        search = FindFirstFileA(path, &found);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            limit = (((uint64_t)found.nFileSizeHigh << 32) | found.nFileSizeLow) / recordBytes;
        }
    }
    return (uint64_t)count < limit ? (int)count : (int)limit;
}

/* Opens a file for reading and reads its header, then attaches the host's lists; on refusal
 * prints one line and returns 0 (the file is closed again, the object is left for
 * reader_end). When `show` is set, the header items seen so far are printed first, also for a
 * refused file. */
static int reader_open(Reader* rd, const Plugin* p, const char* path, int bufferBytes, FILE* show) {
    char full[1024]; /* longer than any path the plug-in takes */
    DWORD n;
    const char* name;
    const char* format;

    memset(rd, 0, sizeof *rd);
    rd->path = path;
    rd->obj = plugin_new_object(p);
    if (!rd->obj)
        return 0;
    /* As the editor does before it opens a file: ask what the plug-in can do. */
    call_capabilities(rd->obj);
    call_query(rd->obj, 1);
    /* A real host hands over a full path. */
    n = GetFullPathNameA(path, sizeof full, full, NULL);
    name = (n > 0 && n < sizeof full) ? full : path;
    if (!call_open(rd->obj, name, 1)) {
        fail_line("cannot open %s", path);
        return 0;
    }
    if (!call_begin_read(rd->obj)) {
        const char* container = text_buffer(rd->obj, WP_CONTAINER_NAME);
        format = text_buffer(rd->obj, WP_FORMAT_NAME);
        if (show)
            print_header(rd, show);
        if (text_len(container, WP_TEXT_BYTES) == 0)
            fail_line("%s: not a RIFF WAVE file", path);
        else if (text_len(format, WP_TEXT_BYTES) == 0)
            fail_line("%s: not a PCM WAVE file (no format chunk)", path);
        else if (strncmp(format, "PCM", WP_TEXT_BYTES) != 0)
            fail_line("%s: not a PCM WAVE file (format \"%.*s\", float %ld)", path,
                      (int)text_len(format, WP_TEXT_BYTES), format,
                      (long)get_i32(rd->obj, WP_IS_FLOAT));
        else
            fail_line("%s: not a readable PCM WAVE file (no data chunk or unusable format)", path);
        call_close(rd->obj, 1);
        return 0;
    }
    rd->frameCount = get_i64(rd->obj, WP_FRAME_COUNT);
    {
        int64_t fb =
            (int64_t)get_i32(rd->obj, WP_CHANNELS) * get_i32(rd->obj, WP_BITS_PER_SAMPLE) / 8;
        rd->frameBytes = (fb > 0 && fb <= INT_MAX) ? (int)fb : 0;
    }
    if (rd->frameBytes <= 0) {
        fail_line("%s: the plug-in accepted a format without whole sample frames", path);
        call_close(rd->obj, 1);
        return 0;
    }
    /* The buffer holds at least one frame; one junk byte past the end shows an overrun. */
    rd->bufferBytes = bufferBytes;
    rd->buffer = malloc((size_t)bufferBytes + 1);
    /* Size the host's lists from the counts the header read left behind. A count is the
     * one a file declares; no file holds more points (24 bytes each) or segments (12 bytes
     * each) than its size allows, so a corrupt count costs no more than that. */
    if (!rd->buffer ||
        !host_records_init(&rd->records, capped_count(get_i32(rd->obj, WP_CUE_COUNT), name, 24),
                           capped_count(get_i32(rd->obj, WP_PLAY_LIST_COUNT), name, 12))) {
        fail_line("out of memory");
        call_close(rd->obj, 1);
        return 0;
    }
    attach_lists(rd->obj, &rd->records.markerList, &rd->records.playList);
    return 1;
}

/* One ReadSamples call; returns the frames delivered or -1 on a boundary fault. */
static int reader_read(Reader* rd) {
    int frames;
    int64_t used;
    memset(rd->buffer, HOST_CANARY, (size_t)rd->bufferBytes + 1);
    frames = call_read_samples(rd->obj, rd->buffer, rd->bufferBytes);
    used = (int64_t)frames * rd->frameBytes;
    if (frames < 0 || used > rd->bufferBytes) {
        fail_line("%s: ReadSamples returned %d frames for a %d-byte buffer", rd->path, frames,
                  rd->bufferBytes);
        return -1;
    }
    /* Bytes past the frames delivered may hold a partial frame of a short read, but nothing
     * may land past the last whole frame the buffer has room for. */
    {
        size_t whole = (size_t)(rd->bufferBytes / rd->frameBytes) * (size_t)rd->frameBytes;
        if (!all_canary(rd->buffer + whole, (size_t)rd->bufferBytes - whole + 1)) {
            fail_line("%s: ReadSamples wrote past the last whole frame of the host's buffer",
                      rd->path);
            return -1;
        }
    }
    return frames;
}

/* Closes the file when it is open, detaches the host's lists, deletes the object and frees
 * the host's records. */
static void reader_end(Reader* rd, const Plugin* p, int fileOpen) {
    if (rd->obj) {
        if (fileOpen)
            call_close(rd->obj, 1);
        attach_lists(rd->obj, NULL, NULL);
        call_delete(p, rd->obj);
        rd->obj = NULL;
    }
    host_records_free(&rd->records);
    free(rd->buffer);
    rd->buffer = NULL;
}

/* ---- Printing ----------------------------------------------------------------------------- */

static void print_text(FILE* out, const char* key, const char* s, size_t size) {
    size_t n = text_len(s, size);
    fprintf(out, "%s: %.*s\n", key, (int)n, s ? s : "");
}

static void print_header(const Reader* rd, FILE* out) {
    void* obj = rd->obj;
    size_t i;
    print_text(out, "file name", text_buffer(obj, WP_FILE_NAME), WP_TEXT_BYTES);
    print_text(out, "file path", text_buffer(obj, WP_FILE_PATH), WP_TEXT_BYTES);
    print_text(out, "container", text_buffer(obj, WP_CONTAINER_NAME), WP_TEXT_BYTES);
    print_text(out, "format", text_buffer(obj, WP_FORMAT_NAME), WP_TEXT_BYTES);
    fprintf(out, "float: %ld\n", (long)get_i32(obj, WP_IS_FLOAT));
    fprintf(out, "sample rate: %lu\n", (unsigned long)(uint32_t)get_i32(obj, WP_SAMPLE_RATE));
    fprintf(out, "channels: %ld\n", (long)get_i32(obj, WP_CHANNELS));
    fprintf(out, "bits per sample: %ld\n", (long)get_i32(obj, WP_BITS_PER_SAMPLE));
    fprintf(out, "frames: %lld\n", (long long)get_i64(obj, WP_FRAME_COUNT));
    fprintf(out, "data offset: %lu\n", (unsigned long)(uint32_t)get_i32(obj, WP_DATA_OFFSET));
    for (i = 0; i < sizeof kInfoTexts / sizeof kInfoTexts[0]; ++i) {
        const char* s = text_buffer(obj, kInfoTexts[i].offset);
        if (text_len(s, kInfoTexts[i].size) > 0)
            print_text(out, kInfoTexts[i].key, s, kInfoTexts[i].size);
    }
}

static void print_markers(const HostRecords* r, FILE* out) {
    int i;
    fprintf(out, "markers: %d\n", r->markerCount);
    for (i = 0; i < r->markerCount; ++i) {
        const HostMarker* m = &r->markers[i];
        fprintf(out,
                "marker %d: type=%ld start=%lld end=%lld point=%ld label=\"%.*s\" note=\"%.*s\"\n",
                i, (long)m->markerType, (long long)m->start, (long long)m->end, (long)m->pointFlag,
                (int)text_len(m->label, sizeof m->label), m->label,
                (int)text_len(m->note, sizeof m->note), m->note);
    }
    fprintf(out, "playlist entries: %d\n", r->entryCount);
    for (i = 0; i < r->entryCount; ++i) {
        const void* m = r->entries[i].marker;
        if (!m)
            fprintf(out, "playlist %d: marker=none\n", i);
        else if (marker_index(r, m) < 0)
            fprintf(out, "playlist %d: marker=foreign\n", i);
        else
            fprintf(out, "playlist %d: marker=%d\n", i, marker_index(r, m));
    }
}

/* ---- Commands ----------------------------------------------------------------------------- */

typedef struct Options {
    const char* pluginPath;
    int bufferBytes;
    int seekFrame;
    int hasSeek;
} Options;

static int cmd_plugin(const Plugin* p) {
    char type[64];
    char name[64];
    char ext[64];
    unsigned int n;
    int i;
    void* obj;
    /* Junk first, so that a missing terminator or an unwritten output shows. */
    memset(type, 'X', sizeof type);
    n = p->queryType(type);
    fprintf(stdout, "type: %.*s\n", (int)text_len(type, sizeof type), type);
    fprintf(stdout, "type length: %u\n", n);
    obj = plugin_new_object(p);
    if (!obj)
        return EXIT_PLUGIN;
    memset(name, 'X', sizeof name);
    memset(ext, 'X', sizeof ext);
    fprintf(stdout, "format name result: %d\n", vt(obj)->GetFormatName(obj, name, ext, 12345));
    fprintf(stdout, "format name: %.*s\n", (int)text_len(name, sizeof name), name);
    fprintf(stdout, "extension: %.*s\n", (int)text_len(ext, sizeof ext), ext);
    fprintf(stdout, "capabilities result: %d\n", vt(obj)->GetCapabilities(obj));
    fprintf(stdout, "capabilities:");
    for (i = 0; i < WP_CAPABILITY_COUNT; ++i)
        fprintf(stdout, " %u", (unsigned)((unsigned char*)obj)[WP_CAPABILITIES + i]);
    fprintf(stdout, "\ncapability value: %ld\n", (long)get_i32(obj, WP_CAPABILITY_VALUE));
    fprintf(stdout, "query read: %d\n", vt(obj)->QueryRead(obj));
    fprintf(stdout, "query write: %d\n", vt(obj)->QueryWrite(obj));
    vt(obj)->ReservedSlot2(obj);
    vt(obj)->ReservedSlot3(obj);
    p->deleteObject(obj);
    p->deleteObject(NULL);
    return 0;
}

/* Reads every frame of an opened file; `sink` receives each chunk. Returns the frames read,
 * or -1 on a fault (already reported). */
typedef int (*FrameSink)(void* ctx, unsigned char* data, int frames, int frameBytes);

static int64_t read_all(Reader* rd, FrameSink sink, void* ctx) {
    int64_t total = 0;
    for (;;) {
        int frames = reader_read(rd);
        if (frames < 0)
            return -1;
        if (frames == 0)
            break;
        total += frames;
        if (total > rd->frameCount) {
            fail_line("%s: ReadSamples delivered more than the %lld frames of the file", rd->path,
                      (long long)rd->frameCount);
            return -1;
        }
        if (sink && !sink(ctx, rd->buffer, frames, rd->frameBytes))
            return -1;
    }
    return total;
}

static int cmd_info(const Plugin* p, const Options* o, const char* path) {
    Reader rd;
    int64_t total;
    int status = 0;
    if (!reader_open(&rd, p, path, o->bufferBytes, stdout)) {
        reader_end(&rd, p, 0);
        return EXIT_FILE;
    }
    print_header(&rd, stdout);
    total = read_all(&rd, NULL, NULL);
    if (total < 0 || !check_host_only(&rd.records)) {
        status = EXIT_BOUNDARY;
    } else {
        fprintf(stdout, "frames read: %lld\n", (long long)total);
        print_markers(&rd.records, stdout);
    }
    reader_end(&rd, p, 1);
    return status;
}

static int sink_file(void* ctx, unsigned char* data, int frames, int frameBytes) {
    size_t n = (size_t)frames * (size_t)frameBytes;
    if (fwrite(data, 1, n, (FILE*)ctx) != n) {
        fail_line("cannot write the raw output");
        return 0;
    }
    return 1;
}

static int cmd_dump(const Plugin* p, const Options* o, const char* in, const char* out) {
    Reader rd;
    FILE* f;
    int status = 0;
    if (!reader_open(&rd, p, in, o->bufferBytes, NULL)) {
        reader_end(&rd, p, 0);
        return EXIT_FILE;
    }
    f = fopen(out, "wb");
    if (!f) {
        fail_line("cannot create %s", out);
        status = EXIT_FILE;
    } else if (o->hasSeek) {
        /* Read to the end, then seek and deliver from the frame asked for. */
        if (read_all(&rd, NULL, NULL) < 0)
            status = EXIT_BOUNDARY;
        else if (!call_seek(rd.obj, o->seekFrame)) {
            fail_line("%s: cannot seek to frame %d", in, o->seekFrame);
            status = EXIT_FILE;
        } else if (read_all(&rd, sink_file, f) < 0)
            status = EXIT_BOUNDARY;
    } else if (read_all(&rd, sink_file, f) < 0) {
        status = EXIT_BOUNDARY;
    }
    if (f && fclose(f) != 0 && status == 0) {
        fail_line("cannot write %s", out);
        status = EXIT_FILE;
    }
    reader_end(&rd, p, 1);
    return status;
}

typedef struct WriteCtx {
    void* obj;
    int64_t written;
    const char* path;
} WriteCtx;

static int sink_plugin(void* ctx, unsigned char* data, int frames, int frameBytes) {
    WriteCtx* w = (WriteCtx*)ctx;
    int n = call_write_samples(w->obj, data, frames * frameBytes, frames);
    if (n != frames) {
        fail_line("%s: WriteSamples wrote %d of %d frames", w->path, n, frames);
        return 0;
    }
    w->written += frames;
    return 1;
}

/* Whether both paths lead to one existing file, however each spells it (another drive, a
 * short name, a network path): the same volume and the same file index. */
static int same_file(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const char* paths[2];
    int i;
    paths[0] = a;
    paths[1] = b;
    for (i = 0; i < 2; ++i) {
        HANDLE h = CreateFileA(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                               0, NULL);
        BOOL known;
        if (h == INVALID_HANDLE_VALUE)
            return 0;
        known = GetFileInformationByHandle(h, &info[i]);
        CloseHandle(h);
        if (!known)
            return 0;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

/* Creates a new, empty file in the folder, named as GetTempFileName names its files
 * ("wvhXXXX.tmp"), into temp (size bytes). GetTempFileNameA gives back at most MAX_PATH bytes,
 * fewer than a double-byte path of that many characters takes, and a name cut short would
 * leave the file it made behind. */
static int create_temp_file(const char* folder, char* temp, size_t size) {
    const size_t length = strlen(folder);
    const int separator = !EndsWithChar(folder, length, '\\', SystemLeadByte);
    const unsigned start = (unsigned)GetTickCount();
    unsigned n;
    if (length + 1 + sizeof "wvhXXXX.tmp" > size)
        return 0;
    for (n = 0; n < 0x10000; ++n) {
        HANDLE h;
        sprintf(temp, "%s%swvh%04X.tmp", folder, separator ? "\\" : "", (start + n) & 0xFFFFu);
        h = CreateFileA(temp, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return 1;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return 0;
    }
    return 0;
}

/* Puts the finished copy in place of OUT. Windows 95, 98 and ME have no replacing move. */
static int replace_file(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING))
        return 1;
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return 0;
    DeleteFileA(to);
    return MoveFileA(from, to);
}

static int cmd_copy(const Plugin* p, const Options* o, const char* in, const char* out) {
    Reader rd;
    WriteCtx w;
    char full[1024]; /* longer than any path the plug-in takes */
    char folder[1024];
    char temp[sizeof folder + 16];
    char* cut;
    DWORD n;
    size_t i;
    int frames;
    int status = 0;
    int64_t total;
    HostMarker* markersBefore = NULL;
    HostPlayListEntry* entriesBefore = NULL;

    {
        /* Never over the file being read, whichever way OUT names it. */
        char fullIn[1024];
        DWORD a = GetFullPathNameA(in, sizeof fullIn, fullIn, NULL);
        n = GetFullPathNameA(out, sizeof full, full, NULL);
        if ((a > 0 && a < sizeof fullIn && n > 0 && n < sizeof full &&
             lstrcmpiA(fullIn, full) == 0) ||
            same_file(in, out)) {
            fail_line("usage: copy needs two different files");
            return EXIT_USAGE;
        }
    }
    if (n == 0 || n >= sizeof full)
        lstrcpynA(full, out, sizeof full);
    if (!reader_open(&rd, p, in, o->bufferBytes, NULL)) {
        reader_end(&rd, p, 0);
        return EXIT_FILE;
    }
    /* Copying moves whole frames through the buffer, the silence for a short source too. */
    if (rd.bufferBytes < rd.frameBytes) {
        fail_line("usage: --buffer %d is smaller than one frame of %s (%d bytes)", rd.bufferBytes,
                  in, rd.frameBytes);
        reader_end(&rd, p, 1);
        return EXIT_USAGE;
    }
    /* The first read hands the markers and play list over. */
    frames = reader_read(&rd);
    if (frames < 0 || !check_host_only(&rd.records)) {
        status = EXIT_BOUNDARY;
        goto done_reader;
    }

    memset(&w, 0, sizeof w);
    w.path = out;
    w.obj = plugin_new_object(p);
    if (!w.obj) {
        status = EXIT_PLUGIN;
        goto done_reader;
    }
    call_capabilities(w.obj);
    call_query(w.obj, 0);
    /* The copy is written to a new file in OUT's folder, which replaces OUT only once it is
     * complete: a failed copy leaves OUT as it was. */
    lstrcpynA(folder, full, sizeof folder);
    cut = folder + FindLastChar(folder, strlen(folder), '\\', SystemLeadByte);
    if (*cut != '\0')
        cut[cut == folder || cut[-1] == ':' ? 1 : 0] = '\0';
    else
        lstrcpyA(folder, ".");
    if (!create_temp_file(folder, temp, sizeof temp)) {
        fail_line("cannot create %s", out);
        status = EXIT_FILE;
        goto done_writer;
    }
    if (!call_open(w.obj, temp, 0)) {
        DeleteFileA(temp);
        fail_line("cannot create %s", out);
        status = EXIT_FILE;
        goto done_writer;
    }
    set_i32(w.obj, WP_SAMPLE_RATE, get_i32(rd.obj, WP_SAMPLE_RATE));
    set_i32(w.obj, WP_CHANNELS, get_i32(rd.obj, WP_CHANNELS));
    set_i32(w.obj, WP_BITS_PER_SAMPLE, get_i32(rd.obj, WP_BITS_PER_SAMPLE));
    memcpy((char*)w.obj + WP_FRAME_COUNT, (char*)rd.obj + WP_FRAME_COUNT, 8);
    for (i = 0; i < sizeof kInfoTexts / sizeof kInfoTexts[0]; ++i)
        memcpy(text_buffer(w.obj, kInfoTexts[i].offset), text_buffer(rd.obj, kInfoTexts[i].offset),
               kInfoTexts[i].size);
    /* The writer only reads the host's records: keep a copy to compare with afterwards. */
    markersBefore = malloc(((size_t)rd.records.markerCount + 1) * sizeof(HostMarker));
    entriesBefore = malloc(((size_t)rd.records.entryCount + 1) * sizeof(HostPlayListEntry));
    if (!markersBefore || !entriesBefore) {
        fail_line("out of memory");
        status = EXIT_FILE;
        goto done_close;
    }
    memcpy(markersBefore, rd.records.markers, (size_t)rd.records.markerCount * sizeof(HostMarker));
    memcpy(entriesBefore, rd.records.entries,
           (size_t)rd.records.entryCount * sizeof(HostPlayListEntry));
    attach_lists(w.obj, &rd.records.markerList, &rd.records.playList);
    if (!call_write_header(w.obj)) {
        fail_line("%s: WriteHeader failed", out);
        status = EXIT_FILE;
    }

    if (status == 0 && frames > 0 && !sink_plugin(&w, rd.buffer, frames, rd.frameBytes))
        status = EXIT_FILE;
    if (status == 0) {
        total = read_all(&rd, sink_plugin, &w);
        if (total < 0)
            status = EXIT_FILE;
    }
    /* The data chunk's size was fixed from the frame count; a short source is made up with
     * silence so the written file stays consistent. */
    if (status == 0 && w.written < rd.frameCount) {
        int64_t missing = rd.frameCount - w.written;
        int chunk = rd.bufferBytes / rd.frameBytes;
        fprintf(stderr, "%s: warning: %s delivered %lld of %lld frames; the rest is silence\n",
                g_prog, in, (long long)w.written, (long long)rd.frameCount);
        while (status == 0 && missing > 0) {
            int k = missing < chunk ? (int)missing : chunk;
            /* Silence is 0 for every width the host hands over (8-bit samples are signed). */
            memset(rd.buffer, 0, (size_t)k * rd.frameBytes);
            if (!sink_plugin(&w, rd.buffer, k, rd.frameBytes))
                status = EXIT_FILE;
            missing -= k;
        }
    }
done_close:
    attach_lists(w.obj, NULL, NULL);
    call_close(w.obj, 0);
    if (status == 0 && !check_host_only(&rd.records)) {
        status = EXIT_BOUNDARY;
    } else if (status == 0 &&
               (memcmp(markersBefore, rd.records.markers,
                       (size_t)rd.records.markerCount * sizeof(HostMarker)) != 0 ||
                memcmp(entriesBefore, rd.records.entries,
                       (size_t)rd.records.entryCount * sizeof(HostPlayListEntry)) != 0)) {
        fail_line("%s: the writer changed the host's records", out);
        status = EXIT_BOUNDARY;
    }
    if (status == 0 && !replace_file(temp, full)) {
        fail_line("cannot write %s", out);
        status = EXIT_FILE;
    }
    if (status != 0)
        DeleteFileA(temp);
    free(markersBefore);
    free(entriesBefore);
done_writer:
    call_delete(p, w.obj);
done_reader:
    reader_end(&rd, p, 1);
    return status;
}

static void usage(FILE* out) {
    fprintf(out, "usage: wavehost [--plugin DLL] [--buffer BYTES] info FILE...\n"
                 "       wavehost [--plugin DLL] [--buffer BYTES] copy IN OUT\n"
                 "       wavehost [--plugin DLL] [--buffer BYTES] [--seek FRAME] dump IN OUT.raw\n"
                 "       wavehost [--plugin DLL] plugin\n"
                 "\n"
                 "Loads wave.dll (next to this program unless --plugin names it) as the sound\n"
                 "editor would and drives it through its exports and virtual operations.\n"
                 "  info   prints what the host sees after the header read and the hand-over\n"
                 "  copy   reads IN through the plug-in and writes OUT through it\n"
                 "  dump   writes the frames ReadSamples delivers to a raw file; with --seek,\n"
                 "         reads to the end, seeks to FRAME and dumps from there\n"
                 "  plugin prints the plug-in's type, names and capability values\n"
                 "  --buffer sets the host's read buffer (default 65536 bytes); copy needs\n"
                 "           room for one frame at least\n"
                 "  --trace  logs every call into the plug-in on standard error\n"
                 "Exit status: 0 ok, 1 file refused or not written, 2 usage, 3 plug-in not\n"
                 "loaded, 4 the plug-in broke the host boundary.\n");
}

static int parse_int(const char* s, long lo, long hi, int* out) {
    char* end;
    long v;
    errno = 0;
    v = strtol(s, &end, 10);
    if (errno || end == s || *end || v < lo || v > hi)
        return 0;
    *out = (int)v;
    return 1;
}

int main(int argc, char** argv) {
    Options o;
    Plugin plugin;
    int i = 1;
    int status;
    const char* cmd;
    int nargs;

    memset(&o, 0, sizeof o);
    o.bufferBytes = 65536;
    while (i < argc && strncmp(argv[i], "--", 2) == 0) {
        const char* opt = argv[i++];
        const char* value = i < argc ? argv[i] : NULL;
        if (strcmp(opt, "--help") == 0) {
            usage(stdout);
            return 0;
        } else if (strcmp(opt, "--trace") == 0) {
            g_trace = 1;
            continue;
        } else if (strcmp(opt, "--plugin") == 0 && value) {
            o.pluginPath = value;
        } else if (strcmp(opt, "--buffer") == 0 && value) {
            if (!parse_int(value, 1, 64L * 1024 * 1024, &o.bufferBytes)) {
                fail_line("usage: --buffer takes 1 to 67108864 bytes");
                return EXIT_USAGE;
            }
        } else if (strcmp(opt, "--seek") == 0 && value) {
            if (!parse_int(value, INT_MIN, INT_MAX, &o.seekFrame)) {
                fail_line("usage: --seek takes a frame number");
                return EXIT_USAGE;
            }
            o.hasSeek = 1;
        } else {
            fail_line("usage: unknown or incomplete option %s (see --help)", opt);
            return EXIT_USAGE;
        }
        ++i; /* the option's value */
    }
    if (i >= argc) {
        fail_line("usage: no command given (see --help)");
        return EXIT_USAGE;
    }
    cmd = argv[i++];
    nargs = argc - i;
    if (!((strcmp(cmd, "info") == 0 && nargs >= 1) || (strcmp(cmd, "copy") == 0 && nargs == 2) ||
          (strcmp(cmd, "dump") == 0 && nargs == 2) || (strcmp(cmd, "plugin") == 0 && nargs == 0))) {
        fail_line("usage: unknown command or wrong number of arguments (see --help)");
        return EXIT_USAGE;
    }
    if (!plugin_load(&plugin, o.pluginPath))
        return EXIT_PLUGIN;

    if (strcmp(cmd, "info") == 0) {
        /* Several files: one block each, separated by an empty line; the worst status wins. */
        status = 0;
        for (; i < argc; ++i) {
            int s = cmd_info(&plugin, &o, argv[i]);
            if (s > status)
                status = s;
            if (i + 1 < argc)
                fputc('\n', stdout);
        }
    } else if (strcmp(cmd, "copy") == 0)
        status = cmd_copy(&plugin, &o, argv[i], argv[i + 1]);
    else if (strcmp(cmd, "dump") == 0)
        status = cmd_dump(&plugin, &o, argv[i], argv[i + 1]);
    else
        status = cmd_plugin(&plugin);
    fflush(stdout);
    FreeLibrary(plugin.module);
    return status;
}
