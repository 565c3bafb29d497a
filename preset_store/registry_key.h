// RegistryKey: one key below HKEY_CURRENT_USER, held for one operation; the key paths of the
// preset tree; the one way every listing asks for a subkey; recursive deletion.
#pragma once

#include "registry_api.h"

#include <functional>
#include <string>
#include <vector>

constexpr const char* kSettingsKey = "Software\\Vantor\\Kelvidrome2\\Settings";
constexpr const char* kEffectsRoot = "Software\\Vantor\\Kelvidrome2\\Effects";

// Every key path is built here: parent, "\", name. The effect key is kEffectsRoot\<effect>,
// the preset key kEffectsRoot\<effect>\<preset>.
std::string SubkeyPath(const std::string& parent, const std::string& name);
std::string EffectKeyPath(const std::string& effect);
std::string PresetKeyPath(const std::string& effect, const std::string& preset);
// The path without its last "\" character and what follows (a trail byte of the system's code
// page is no "\"); a path without "\" stays as it is.
std::string ParentPath(const std::string& path);

// Name buffers for value names and the class buffer of listings, terminator included.
constexpr DWORD kNameBufferChars = 260;
// Key names have at most 255 characters: up to 510 bytes in a double-byte code page.
constexpr DWORD kKeyNameBytes = 2 * 255 + 1;

class RegistryKey {
public:
    RegistryKey();
    // The code that opens a key closes it; the destructor releases nothing (see KeyScope).
    virtual ~RegistryKey();

    // Opens the path below HKEY_CURRENT_USER with full access, or creates it (and every
    // missing key above it) when it cannot be opened. Does not close a previous handle.
    LONG Open(const char* path);
    // The same, for a key that is mostly missing: one call creates it or opens it; Open is
    // tried where that call fails.
    LONG OpenOrCreate(const char* path);
    // Opens the existing subkey name (a path) of parent with the access given; never creates
    // it. Does not close a previous handle; leaves none on failure.
    LONG OpenExisting(HKEY parent, const char* name, REGSAM access);
    void Close();
    LONG SetDword(const char* name, DWORD value);
    LONG SetString(const char* name, const char* text);
    // Stores the first four bytes of the named value in result, or the fallback when the
    // value is missing, longer than 32 bytes, shorter than four bytes or no key is open.
    LONG QueryDword(const char* name, DWORD& result, DWORD fallback);
#ifdef _WIN32
    // Window-placement memory: six DWORD values named after the title with blanks as "_".
    void RestorePlacement(HWND window, std::string title);
    void SavePlacement(HWND window, std::string title);
#endif

    HKEY m_hKey; // null when no key is open
};

// Closes a RegistryKey through its Close() when the scope ends, on every way out; the key may
// be closed and opened again in between, as the export walk does.
class KeyScope {
public:
    explicit KeyScope(RegistryKey& key) : m_key(key) {}
    ~KeyScope() { m_key.Close(); }
    KeyScope(const KeyScope&) = delete;
    KeyScope& operator=(const KeyScope&) = delete;

private:
    RegistryKey& m_key;
};

// How a listing asks for a subkey: the name buffer's size in bytes and whether a class
// buffer of kNameBufferChars goes with it. Every call also passes a place for the last-write
// time, and both lengths are set afresh before it.
struct SubkeyQuery {
    DWORD nameChars;
    bool withClass;
};
// The dialog's lists and the export walk.
constexpr SubkeyQuery kListingQuery = {kKeyNameBytes, true};
// Deletion.
constexpr SubkeyQuery kDeletionQuery = {kKeyNameBytes, false};

// The subkey at index of an open key into name (terminated, at most nameChars - 1 bytes);
// returns the registry status. ERROR_MORE_DATA means that the name does not fit: only that
// subkey is lost, the next index goes on (a class too long for its buffer is no such case).
LONG EnumSubkey(HKEY key, DWORD index, const SubkeyQuery& query, std::string& name);

// Why a subkey of this name is passed over by a listing, or null: a name that did not fit
// (status ERROR_MORE_DATA) or that the system's code page has no form for (SystemHasForm),
// which no key path may join.
const char* PassedOverSubkey(LONG status, const std::string& name);

// Lists the subkeys of an open key in the registry's order: index from 0 with kListingQuery.
// Calls add(name) for each name; a subkey passed over (PassedOverSubkey) is named to
// passedOver, when given, as "why" text, and the listing goes on; any other failing status
// ends it.
void ListSubkeys(HKEY key, const std::function<void(const char*)>& add,
                 std::vector<std::string>* passedOver = nullptr);

// Deletes the subkey name (a path) of the open key parent with its whole subtree, depth first:
// each level opened with read and write access, its subkeys deleted by asking for the first
// index until none is left (each deleted by itself first, and walked only when that fails) (a
// subkey whose name does not fit is passed over and stays, and so does its parent), closed, then
// deleted. Returns the registry status, zero when the subkey is gone; the first failure stops it
// and leaves the rest in place.
LONG DeleteKeyTree(HKEY parent, const char* name);
