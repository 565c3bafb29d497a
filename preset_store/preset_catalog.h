// Read-only listings of the preset tree, sorted as the dialog's lists show them.
#pragma once

#include <string>
#include <vector>

// Orders names without regard to case as the dialog's sorted list boxes do (by their bytes,
// ASCII case folded, where there is no list box).
bool NameLess(const std::string& a, const std::string& b);
// The name's bytes with the single-byte letters folded to lower case; the trail byte of a
// double-byte character stays as it is (in 932, "\x83\x41" and "\x83\x61" are two names).
std::string Folded(const std::string& name);
// Equal names, the single-byte ASCII letters of either case alike; a double-byte character
// (its trail byte may have a letter's value) matches only itself.
bool SameName(const std::string& a, const std::string& b);

// The subkey names of the key at path (below HKEY_CURRENT_USER), sorted with NameLess.
// Opens the key for reading only and never creates it; false when it does not exist. The
// subkeys the listing passes over (see ListSubkeys) are named to passedOver, when given.
bool ListKeyNames(const std::string& path, std::vector<std::string>& names,
                  std::vector<std::string>* passedOver = nullptr);

// The entry of names that equals name without regard to case, or null.
const std::string* FindName(const std::vector<std::string>& names, const std::string& name);
