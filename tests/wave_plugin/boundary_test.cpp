// The boundary as a host sees it: the object's bytes at their offsets and, in the Windows
// build, wave.dll loaded by name with its exports and slots called through the virtual table.
#include "wave_test_support.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace wave_test;

extern "C" std::uint32_t QueryPluginType(char* type);
extern "C" FilePlugin* ReturnPluginObject();
extern "C" void DeletePluginObject(FilePlugin* plugin);

namespace {

TEST(Boundary, ExportsAndSimpleSlots) {
    char type[16];
    std::memset(type, 'j', sizeof type);
    EXPECT_EQ(11u, QueryPluginType(type));
    EXPECT_EQ(0, std::memcmp(type, "FileFilter\0j", 12));
    FilePlugin* plugin = ReturnPluginObject();
    ASSERT_NE(nullptr, plugin);
    char name[16], ext[8];
    std::memset(name, 'j', sizeof name);
    std::memset(ext, 'j', sizeof ext);
    EXPECT_EQ(0u, plugin->GetFormatName(name, ext, 12345));
    EXPECT_EQ(0, std::memcmp(name, "RIFF Wave\0j", 11));
    EXPECT_EQ(0, std::memcmp(ext, "wav\0j", 5));
    EXPECT_EQ(1u, plugin->GetCapabilities());
    WavePlugin* w = static_cast<WavePlugin*>(plugin);
    EXPECT_EQ(0, std::memcmp(w->capabilities, "\1\0\1\0\0\1\1\1\1\1\0\1\1\0", 14));
    EXPECT_EQ(1u, w->capabilityValue);
    EXPECT_EQ(2u, plugin->QueryRead());
    EXPECT_EQ(2u, plugin->QueryWrite());
    EXPECT_EQ(0, plugin->OpenFile("", 1));
    DeletePluginObject(plugin);
    DeletePluginObject(nullptr);
    // Without bit 0 the object is destroyed, buffers and all, and its memory stays the caller's.
    WavePlugin* kept = WavePlugin::Create();
    ASSERT_NE(nullptr, kept);
    kept->Destroy(0);
    ::operator delete(kept);
}

TEST(Boundary, OpenFileNamesAndLongPaths) {
    TempDir dir;
    PluginPtr p = NewPlugin();
    std::string path = dir.Write("take1.wav", Riff(Chunk("fmt ", Fmt(1, 1, 8000, 8))));
#if defined(_WIN32)
    std::replace(path.begin(), path.end(), '/', '\\');
    const char sep = '\\';
    const std::string name = "take1.wav";
#else
    const char sep = '/';
    const std::string name = path; // only a backslash separates a folder
#endif
    ASSERT_TRUE(p->OpenFile(path.c_str(), 1));
    EXPECT_EQ(name, p->openName);
    EXPECT_EQ(path, p->openPath);
    p->BeginRead();
    EXPECT_EQ(name, p->info.fileName);
    EXPECT_EQ(path, p->info.filePath);
    p->CloseFile(1);

    // Paths that lead to a real file through "." folders: 259 characters open, 260 do not,
    // and the refusal leaves the open stream and both names as they were.
    dir.Write("t.wav", Riff(Chunk("fmt ", Fmt(1, 1, 8000, 8))));
    dir.Write("tt.wav", Riff(Chunk("fmt ", Fmt(1, 1, 8000, 8))));
    auto through = [&](std::size_t length) {
        std::string folder = path.substr(0, path.rfind(sep) + 1);
        std::string file = (length - folder.size()) % 2 ? "t.wav" : "tt.wav";
        while (folder.size() + file.size() < length)
            folder += std::string(".") + sep;
        return folder + file;
    };
    std::string fits = through(259), tooLong = through(260);
    ASSERT_EQ(259u, fits.size());
    ASSERT_EQ(260u, tooLong.size());
    ASSERT_TRUE(p->OpenFile(fits.c_str(), 1));
    std::FILE* open = p->file;
    const std::string openName = p->openName;
    std::FILE* probe = std::fopen(tooLong.c_str(), "rb"); // the runtime would open it
    ASSERT_NE(nullptr, probe);
    std::fclose(probe);
    EXPECT_EQ(0, p->OpenFile(tooLong.c_str(), 1));
    EXPECT_EQ(0, p->OpenFile((tooLong + "x").c_str(), 0));
    EXPECT_EQ(open, p->file);
    EXPECT_EQ(fits, p->openPath);
    EXPECT_EQ(openName, p->openName);
    p->CloseFile(1);
    EXPECT_EQ(0, p->OpenFile(dir.Path("missing.wav").c_str(), 1));
    EXPECT_EQ(nullptr, p->file);
}

#if defined(_WIN32) && !defined(_WIN64)
// The host's view: a library loaded by path, slots by index with this in ECX.
typedef std::uint32_t(__cdecl* QueryFn)(char*);
typedef void*(__cdecl* ReturnFn)();
typedef void(__cdecl* DeleteFn)(void*);
typedef std::uint32_t(__thiscall* NoArgSlot)(void*);
typedef std::int32_t(__thiscall* OpenSlot)(void*, const char*, unsigned char);
typedef void(__thiscall* CloseSlot)(void*, unsigned char);
typedef std::int32_t(__thiscall* ReadSlot)(void*, void*, std::int32_t);
typedef void*(__thiscall* DestroySlot)(void*, std::uint32_t);

template <typename Fn> Fn Slot(void* object, int index) {
    void** table = *static_cast<void***>(object);
    return reinterpret_cast<Fn>(table[index]);
}
void* Proc(HMODULE dll, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(dll, name));
}

template <typename T> T Field(void* object, std::size_t offset) {
    T v;
    std::memcpy(&v, static_cast<unsigned char*>(object) + offset, sizeof v);
    return v;
}

std::string DllPath() {
    std::string path = ::testing::internal::GetArgvs().size() > 1
                           ? ::testing::internal::GetArgvs()[1]
                           : std::string("wave.dll");
    if (!path.empty() && path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    return path;
}

TEST(Boundary, TheLibraryThroughItsExportsSlotsAndOffsets) {
    HMODULE dll = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(nullptr, dll) << DllPath();
    void* queryProc = Proc(dll, "QueryPluginType");
    void* createProc = Proc(dll, "ReturnPluginObject");
    void* destroyProc = Proc(dll, "DeletePluginObject");
    ASSERT_TRUE(queryProc && createProc && destroyProc);
    EXPECT_EQ(queryProc, Proc(dll, MAKEINTRESOURCEA(2)));
    EXPECT_EQ(createProc, Proc(dll, MAKEINTRESOURCEA(3)));
    EXPECT_EQ(destroyProc, Proc(dll, MAKEINTRESOURCEA(4)));
    auto query = reinterpret_cast<QueryFn>(queryProc);
    auto create = reinterpret_cast<ReturnFn>(createProc);
    auto destroy = reinterpret_cast<DeleteFn>(destroyProc);
    char type[12];
    EXPECT_EQ(11u, query(type));
    EXPECT_STREQ("FileFilter", type);

    void* object = create();
    ASSERT_NE(nullptr, object);
    EXPECT_EQ(0u, Field<std::uint32_t>(object, 0x390) | Field<std::uint32_t>(object, 0x394) |
                      Field<std::uint32_t>(object, 0x388) | Field<std::uint32_t>(object, 0x38C));
    EXPECT_EQ(1u, Slot<NoArgSlot>(object, 0)(object));
    EXPECT_EQ(1, Field<unsigned char>(object, 0x318));
    EXPECT_EQ(1, Field<unsigned char>(object, 0x324));
    EXPECT_EQ(0, Field<unsigned char>(object, 0x325));
    EXPECT_EQ(1u, Field<std::uint32_t>(object, 0x32C));
    EXPECT_EQ(2u, Slot<NoArgSlot>(object, 7)(object));
    EXPECT_EQ(2u, Slot<NoArgSlot>(object, 11)(object));

    TempDir dir;
    Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
    std::string path = dir.Write(
        "a.wav", Riff(Cat({Chunk("fmt ", Fmt(1, 2, 22050, 16)), Chunk("INAM", Text("Title")),
                           Chunk("data", data), Chunk("cue ", CuePoints({{1, 1}}))})));
    ASSERT_EQ(1, Slot<OpenSlot>(object, 4)(object, path.c_str(), 1));
    EXPECT_EQ(1, Slot<NoArgSlot>(object, 8)(object));
    EXPECT_EQ(22050u, Field<std::uint32_t>(object, 0x340));
    EXPECT_EQ(2, Field<std::int64_t>(object, 0x348));
    EXPECT_EQ(2, Field<std::int32_t>(object, 0x350));
    EXPECT_EQ(16, Field<std::int32_t>(object, 0x354));
    EXPECT_EQ(58u, Field<std::uint32_t>(object, 0x334));
    EXPECT_STREQ("Title", Field<const char*>(object, 0x360));
    EXPECT_STREQ("RIFF Wave", Field<const char*>(object, 0x374));
    EXPECT_STREQ("PCM", Field<const char*>(object, 0x378));
    EXPECT_STREQ("a.wav", Field<const char*>(object, 0x370));
    EXPECT_STREQ("a.wav", reinterpret_cast<char*>(object) + 0x398);
    EXPECT_EQ(1, Field<std::int32_t>(object, 0x394));
    EXPECT_EQ(2, Field<std::int32_t>(object, 0x5DC));
    EXPECT_NE(nullptr, Field<void*>(object, 0x5A0));

    HostSide host;
    unsigned char* marker = host.AddMarker();
    CPtrList* list = &host.markers;
    std::memcpy(static_cast<unsigned char*>(object) + 0x38C, &list, 4);
    Bytes buffer(8, 0);
    EXPECT_EQ(2, Slot<ReadSlot>(object, 10)(object, buffer.data(), 8));
    EXPECT_EQ(data, buffer);
    EXPECT_EQ(1, I64(marker, host_marker::kStart));
    EXPECT_EQ(1, I32(marker, host_marker::kPointFlag));
    EXPECT_EQ(0, Field<std::int32_t>(object, 0x394));
    Slot<CloseSlot>(object, 5)(object, 1);
    EXPECT_EQ(nullptr, Field<void*>(object, 0x5A0));

    // A one-byte boolean argument arrives in a 32-bit slot: only its low byte counts.
    typedef std::int32_t(__thiscall * WideOpenSlot)(void*, const char*, std::uint32_t);
    typedef void(__thiscall * WideCloseSlot)(void*, std::uint32_t);
    std::string written = dir.Path("garbage.wav");
    ASSERT_EQ(1, Slot<WideOpenSlot>(object, 4)(object, written.c_str(), 0xABCDEF00u));
    EXPECT_EQ(1u, Slot<NoArgSlot>(object, 12)(object));
    Slot<WideCloseSlot>(object, 5)(object, 0x12345600u); // writing: the size is filled in
    Bytes file = dir.Read("garbage.wav");
    ASSERT_LE(8u, file.size());
    EXPECT_EQ(file.size() - 8, Get32(file, 4));
    ASSERT_EQ(1, Slot<WideOpenSlot>(object, 4)(object, written.c_str(), 0xFFFFFF01u));
    EXPECT_EQ(1u, Slot<NoArgSlot>(object, 8)(object) & 0xFF);
    Slot<WideCloseSlot>(object, 5)(object, 0xFFFFFF01u);
    EXPECT_EQ(file, dir.Read("garbage.wav")); // reading: no byte changed

    // The header read in its own slot, and the object destroyed and freed through slot 14.
    ASSERT_EQ(1, Slot<OpenSlot>(object, 4)(object, path.c_str(), 1));
    EXPECT_EQ(1, Slot<NoArgSlot>(object, 9)(object));
    EXPECT_EQ(1, Field<std::int32_t>(object, 0x394));
    EXPECT_EQ(2, Field<std::int32_t>(object, 0x5DC));
    Slot<CloseSlot>(object, 5)(object, 1);
    Slot<DestroySlot>(object, 14)(object, 1);
    destroy(nullptr);
    FreeLibrary(dll);
}
#endif

} // namespace
