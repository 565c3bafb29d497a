// Hooks of the in-process registry of the native build, for tests and fuzzing.
#pragma once

#ifndef _WIN32
#include <set>
#include <string>

namespace registry_test {
// Empties the whole tree; handles still open become invalid and the counter restarts at 0.
void Reset();
// Makes RegDeleteKeyA refuse (ERROR_ACCESS_DENIED) to delete the key at this path below
// HKEY_CURRENT_USER (compared without regard to case); an empty path refuses nothing.
void RefuseDeletionAt(const std::string& path);
// Lets keys be created with names of up to this many characters (255, as the registry takes
// them, until the next Reset), so that a listing meets names longer than its buffer.
void SetKeyNameLimit(size_t characters);
// Handles opened or created and not yet closed.
int OpenHandleCount();
// The tree below HKEY_CURRENT_USER as text, one key or value a line, in enumeration order:
// "Path\\To\\Key" for a key, "Path\\To\\Key|name|type|hex bytes" for a value.
std::string Dump();
// The distinct calls made since the last TakeCalls, each with the arguments that the store
// relies on: "RegOpenKeyExA HKCU access=f003f", "RegEnumKeyExA name=260 class=260 time=yes"
// (lengths as passed in) and so on.
std::set<std::string> TakeCalls();
} // namespace registry_test
#endif
