// The wildcards of presetctl's file arguments, matched against a file's long name.
#pragma once

// True when name matches pattern: * stands for any run of characters, ? for one (a double-byte
// character is one), single-byte letters match either case, and a pattern ending in ".*" also takes
// a name that has no dot (as
// "*.*" takes every name). FindFirstFile on a FAT volume also reports a file whose short
// alias alone matches ("*.kvp" finds "a.kvpx" through "A~1.KVP"); this sorts those out.
bool MatchesFilePattern(const char* pattern, const char* name);
