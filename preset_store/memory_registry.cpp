// The in-process registry of the native build: a tree of keys below HKEY_CURRENT_USER with
// subkeys listed in name order (without regard to case, as the NT registry lists them; names
// are read by the characters of SystemLeadByte, so a trail byte neither separates a path nor
// folds) and values in the order they were first set; key names have at most 255 characters.
// It refuses, as the NT family does, to delete a key that still has subkeys.
#include "memory_registry.h"
#include "registry_api.h"
#include "system_chars.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

namespace {

constexpr size_t kMaxKeyNameChars = 255;

struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Node {
    std::string name;
    std::string path; // below HKEY_CURRENT_USER, as created
    std::string keyClass;
    Node* parent = nullptr;
    bool deleted = false;
    std::vector<std::shared_ptr<Node>> subkeys;
    std::vector<Value> values;
};

struct Handle {
    std::shared_ptr<Node> node;
    REGSAM access;
};

std::shared_ptr<Node> g_root = std::make_shared<Node>();
std::set<Handle*> g_handles;
std::string g_refusedPath;
std::set<std::string> g_calls;
size_t g_keyNameLimit = kMaxKeyNameChars;

void LogCall(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogCall(const char* format, ...) {
    char text[200];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    g_calls.insert(text);
}

const char* KeyKind(HKEY key) {
    return key == HKEY_CURRENT_USER ? "HKCU" : "key";
}

const char* Given(const void* pointer) {
    return pointer != nullptr ? "yes" : "none";
}

std::string Length(const LPDWORD length) {
    return length != nullptr ? std::to_string(*length) : "none";
}

// The name with its single-byte letters in upper case.
std::string Upper(const std::string& name) {
    std::string upper = name;
    for (size_t at = 0; at < upper.size();) {
        const size_t bytes = CharBytes(upper.data(), upper.size(), at, SystemLeadByte);
        if (bytes == 1 && upper[at] >= 'a' && upper[at] <= 'z')
            upper[at] = static_cast<char>(upper[at] - ('a' - 'A'));
        at += bytes;
    }
    return upper;
}

// A key name's length as the registry limits it: in characters, a double-byte one counting once.
size_t Characters(const std::string& name) {
    size_t count = 0;
    for (size_t at = 0; at < name.size();
         at += CharBytes(name.data(), name.size(), at, SystemLeadByte))
        ++count;
    return count;
}

int CompareNames(const std::string& a, const std::string& b) {
    const std::string x = Upper(a);
    const std::string y = Upper(b);
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = static_cast<unsigned char>(x[i]);
        const int cb = static_cast<unsigned char>(y[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

std::vector<std::string> SplitPath(const char* path) {
    std::vector<std::string> parts;
    if (path == nullptr)
        return parts;
    const size_t size = std::strlen(path);
    std::string part;
    for (size_t at = 0;; ++at) {
        if (at == size || path[at] == '\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
            if (at == size)
                break;
        } else {
            // A double-byte character whole: its trail byte may have the value of "\".
            const size_t bytes = CharBytes(path, size, at, SystemLeadByte);
            part.append(path + at, bytes);
            at += bytes - 1;
        }
    }
    return parts;
}

std::shared_ptr<Node> FindChild(const Node& node, const std::string& name) {
    for (const auto& child : node.subkeys)
        if (CompareNames(child->name, name) == 0)
            return child;
    return nullptr;
}

// Resolves a key handle; HKEY_CURRENT_USER is the root and needs no opening.
LONG Resolve(HKEY key, REGSAM needed, std::shared_ptr<Node>& node) {
    if (key == HKEY_CURRENT_USER) {
        node = g_root;
        return ERROR_SUCCESS;
    }
    Handle* handle = reinterpret_cast<Handle*>(key);
    if (key == nullptr || g_handles.count(handle) == 0)
        return ERROR_INVALID_HANDLE;
    if (handle->node->deleted)
        return ERROR_KEY_DELETED;
    if ((handle->access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    node = handle->node;
    return ERROR_SUCCESS;
}

// The entry at index of a key's subkeys or values, after the checks both listings make: a
// handle with the access needed, and an index within the list.
template <typename Entry>
LONG ListedEntry(HKEY key, REGSAM needed, DWORD index, std::vector<Entry> Node::*list,
                 const Entry*& entry) {
    std::shared_ptr<Node> node;
    const LONG status = Resolve(key, needed, node);
    if (status != ERROR_SUCCESS)
        return status;
    const std::vector<Entry>& entries = (*node).*list;
    if (index >= entries.size())
        return ERROR_NO_MORE_ITEMS;
    entry = &entries[index];
    return ERROR_SUCCESS;
}

HKEY NewHandle(const std::shared_ptr<Node>& node, REGSAM access) {
    Handle* handle = new Handle{node, access};
    g_handles.insert(handle);
    return reinterpret_cast<HKEY>(handle);
}

void MarkDeleted(Node& node) {
    node.deleted = true;
    for (auto& child : node.subkeys)
        MarkDeleted(*child);
}

Value* FindValue(Node& node, const char* name) {
    const std::string wanted = name != nullptr ? name : "";
    for (auto& value : node.values)
        if (CompareNames(value.name, wanted) == 0)
            return &value;
    return nullptr;
}

void DumpNode(const Node& node, std::string& out) {
    for (const auto& child : node.subkeys) {
        out += child->path + "\n";
        for (const auto& value : child->values) {
            char hex[4];
            out += child->path + "|" + value.name + "|" + std::to_string(value.type) + "|";
            for (BYTE b : value.data) {
                std::snprintf(hex, sizeof hex, "%02x", b);
                out += hex;
            }
            out += "\n";
        }
        DumpNode(*child, out);
    }
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, HKEY* result) {
    LogCall("RegOpenKeyExA %s access=%x", KeyKind(key), access);
    std::shared_ptr<Node> node;
    LONG status = Resolve(key, 0, node);
    if (status != ERROR_SUCCESS)
        return status;
    for (const std::string& part : SplitPath(subKey)) {
        node = FindChild(*node, part);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
    }
    *result = NewHandle(node, access);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, HKEY* result, LPDWORD disposition) {
    LogCall("RegCreateKeyExA %s class=%s options=%u access=%x security=%s disposition=%s",
            KeyKind(key), keyClass != nullptr ? keyClass : "none", options, access, Given(security),
            Given(disposition));
    std::shared_ptr<Node> node;
    LONG status = Resolve(key, 0, node);
    if (status != ERROR_SUCCESS)
        return status;
    const std::vector<std::string> parts = SplitPath(subKey);
    for (const std::string& part : parts)
        if (Characters(part) > g_keyNameLimit)
            return ERROR_INVALID_PARAMETER;
    bool created = false;
    for (const std::string& part : parts) {
        std::shared_ptr<Node> child = FindChild(*node, part);
        if (!child) {
            child = std::make_shared<Node>();
            child->name = part;
            child->path = node->path.empty() ? part : node->path + "\\" + part;
            child->keyClass = keyClass != nullptr ? keyClass : "";
            child->parent = node.get();
            auto at = std::find_if(node->subkeys.begin(), node->subkeys.end(),
                                   [&](const std::shared_ptr<Node>& other) {
                                       return CompareNames(other->name, part) > 0;
                                   });
            node->subkeys.insert(at, child);
            created = true;
        }
        node = child;
    }
    if (disposition != nullptr)
        *disposition = created ? 1 : 2; // created new, opened existing
    *result = NewHandle(node, access);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    Handle* handle = reinterpret_cast<Handle*>(key);
    if (key == nullptr || g_handles.erase(handle) == 0)
        return ERROR_INVALID_HANDLE;
    delete handle;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWrite) {
    LogCall("RegEnumKeyExA name=%s class=%s time=%s", Length(nameLength).c_str(),
            keyClass != nullptr ? Length(classLength).c_str() : "none", Given(lastWrite));
    const std::shared_ptr<Node>* entry = nullptr;
    const LONG status = ListedEntry(key, KEY_ENUMERATE_SUB_KEYS, index, &Node::subkeys, entry);
    if (status != ERROR_SUCCESS)
        return status;
    const Node& child = **entry;
    if (child.name.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    if (keyClass != nullptr && classLength != nullptr && child.keyClass.size() + 1 > *classLength)
        return ERROR_MORE_DATA;
    std::memcpy(name, child.name.c_str(), child.name.size() + 1);
    *nameLength = static_cast<DWORD>(child.name.size());
    if (keyClass != nullptr && classLength != nullptr) {
        std::memcpy(keyClass, child.keyClass.c_str(), child.keyClass.size() + 1);
        *classLength = static_cast<DWORD>(child.keyClass.size());
    }
    if (lastWrite != nullptr)
        *lastWrite = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPDWORD type,
                   LPBYTE data, LPDWORD dataLength) {
    LogCall("RegEnumValueA name=%s type=%s data=%s", Length(nameLength).c_str(), Given(type),
            data != nullptr ? Length(dataLength).c_str() : "none");
    const Value* entry = nullptr;
    const LONG status = ListedEntry(key, KEY_QUERY_VALUE, index, &Node::values, entry);
    if (status != ERROR_SUCCESS)
        return status;
    const Value& value = *entry;
    if (value.name.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    if (data != nullptr && dataLength != nullptr && value.data.size() > *dataLength) {
        *dataLength = static_cast<DWORD>(value.data.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, value.name.c_str(), value.name.size() + 1);
    *nameLength = static_cast<DWORD>(value.name.size());
    if (type != nullptr)
        *type = value.type;
    if (data != nullptr && !value.data.empty())
        std::memcpy(data, value.data.data(), value.data.size());
    if (dataLength != nullptr)
        *dataLength = static_cast<DWORD>(value.data.size());
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD dataLength) {
    LogCall("RegSetValueExA type=%u bytes=%u", type, dataLength);
    std::shared_ptr<Node> node;
    LONG status = Resolve(key, KEY_SET_VALUE, node);
    if (status != ERROR_SUCCESS)
        return status;
    if (node == g_root)
        return ERROR_ACCESS_DENIED;
    std::vector<BYTE> bytes;
    if (data != nullptr)
        bytes.assign(data, data + dataLength);
    if (Value* value = FindValue(*node, name)) {
        value->type = type;
        value->data = bytes;
    } else {
        node->values.push_back(Value{name != nullptr ? name : "", type, bytes});
    }
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD dataLength) {
    LogCall("RegQueryValueExA type=%s data=%s", Given(type),
            data != nullptr ? Length(dataLength).c_str() : "none");
    std::shared_ptr<Node> node;
    LONG status = Resolve(key, KEY_QUERY_VALUE, node);
    if (status != ERROR_SUCCESS)
        return status;
    const Value* value = FindValue(*node, name);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (type != nullptr)
        *type = value->type;
    if (data != nullptr && dataLength != nullptr && value->data.size() > *dataLength) {
        *dataLength = static_cast<DWORD>(value->data.size());
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && !value->data.empty())
        std::memcpy(data, value->data.data(), value->data.size());
    if (dataLength != nullptr)
        *dataLength = static_cast<DWORD>(value->data.size());
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    LogCall("RegDeleteKeyA %s", KeyKind(key));
    std::shared_ptr<Node> node;
    LONG status = Resolve(key, 0, node);
    if (status != ERROR_SUCCESS)
        return status;
    const std::vector<std::string> parts = SplitPath(subKey);
    if (parts.empty())
        return ERROR_ACCESS_DENIED;
    for (const std::string& part : parts) {
        node = FindChild(*node, part);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
    }
    if (!node->subkeys.empty())
        return ERROR_ACCESS_DENIED;
    if (!g_refusedPath.empty() && CompareNames(node->path, g_refusedPath) == 0)
        return ERROR_ACCESS_DENIED;
    Node* parent = node->parent;
    parent->subkeys.erase(std::find(parent->subkeys.begin(), parent->subkeys.end(), node));
    MarkDeleted(*node);
    return ERROR_SUCCESS;
}

namespace registry_test {

void Reset() {
    for (Handle* handle : g_handles)
        delete handle;
    g_handles.clear();
    MarkDeleted(*g_root);
    g_root = std::make_shared<Node>();
    g_refusedPath.clear();
    g_calls.clear();
    g_keyNameLimit = kMaxKeyNameChars;
}

void SetKeyNameLimit(size_t characters) {
    g_keyNameLimit = characters;
}

void RefuseDeletionAt(const std::string& path) {
    g_refusedPath = path;
}

int OpenHandleCount() {
    return static_cast<int>(g_handles.size());
}

std::string Dump() {
    std::string out;
    DumpNode(*g_root, out);
    return out;
}

std::set<std::string> TakeCalls() {
    std::set<std::string> calls;
    calls.swap(g_calls);
    return calls;
}

} // namespace registry_test
