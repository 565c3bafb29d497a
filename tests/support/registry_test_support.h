// The registry test-support layer: a scratch preset tree, raw registry access that bypasses
// the code under test, snapshots, Windows paths and scratch folders. Used by the store and
// presetctl tests, the dialog tests, the end-to-end driver and the benchmark.
//
// Setup helpers (creating keys, values, files and folders) stop the test when they fail and
// report the caller's file and line: they take both as defaulted trailing arguments.
#pragma once

#include "registry_key.h"

#include <map>
#include <string>
#include <vector>

namespace test_support {

constexpr const char* kProductKey = "Software\\Vantor\\Kelvidrome2";

// The line end a text-mode stream writes on this platform.
#ifdef _WIN32
constexpr const char* kEol = "\r\n";
#else
constexpr const char* kEol = "\n";
#endif

// What a failing setup helper calls: by default it prints "file:line: what" and ends the
// program; the GoogleTest fixture (scratch_registry.h) makes it fail and stop the test.
using SetupFailureHandler = void (*)(const char* file, int line, const std::string& what);
void SetSetupFailureHandler(SetupFailureHandler handler);
[[noreturn]] void SetupFailed(const char* file, int line, const std::string& what);

#define TEST_SUPPORT_CALLER const char *file = __builtin_FILE(), int line = __builtin_LINE()

// Setup: keys and values below HKEY_CURRENT_USER, created with every missing key above them.
void CreateKey(const std::string& path, TEST_SUPPORT_CALLER);
void SetRaw(const std::string& keyPath, const std::string& name, DWORD type,
            const std::string& bytes, TEST_SUPPORT_CALLER);
void SetDwordValue(const std::string& keyPath, const std::string& name, DWORD value,
                   TEST_SUPPORT_CALLER);
void SetStringValue(const std::string& keyPath, const std::string& name, const std::string& text,
                    TEST_SUPPORT_CALLER);
// Below the key at path: a chain of levels subkeys, each named name, created one level at a
// time (its full path may be longer than a registry takes in one call). Returns the handle
// of the deepest key, open; the caller closes it.
HKEY CreateChain(const std::string& path, const std::string& name, int levels, TEST_SUPPORT_CALLER);
// Removes the key at path with everything below it (nothing to do when it is missing), depth
// first through the registry's own calls, never through the store's deletion.
void WipeKey(const std::string& path, TEST_SUPPORT_CALLER);

// Observation: raw reads through the registry's own calls (ADVAPI32, natively the in-process
// registry's functions of the same names), never through RegistryKey or the store.
struct StoredValue {
    DWORD type;
    std::string data;
    bool operator==(const StoredValue& o) const { return type == o.type && data == o.data; }
};
// Key path (below HKEY_CURRENT_USER) -> value name -> value, for keys that hold values.
using Snapshot = std::map<std::string, std::map<std::string, StoredValue>>;

bool KeyExists(const std::string& path);
// False when the value is missing.
bool GetRaw(const std::string& keyPath, const std::string& name, StoredValue& value);
// A DWORD value of four bytes; false when it is missing or of another type or size.
bool GetDword(const std::string& keyPath, const std::string& name, DWORD& value);
// Every key at or below path that holds values, with its values.
Snapshot TakeSnapshot(const std::string& path);
// The subkey names of path in the registry's order.
std::vector<std::string> Subkeys(const std::string& path);
std::string Dword(DWORD value);

// Files.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes, TEST_SUPPORT_CALLER);
// A fresh, empty folder of this name below the temporary folder.
std::string ScratchFolder(const std::string& name, TEST_SUPPORT_CALLER);
// Lines joined with this platform's text-mode line end, each line ended.
std::string TextLines(const std::vector<std::string>& lines);
// A path given by the build (a Unix path) as Wine's programs see it: "Z:" and backslashes.
std::string WindowsPath(std::string path);

} // namespace test_support
