#include "system_chars.h"

#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>

int SystemLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) ? 1 : 0;
}
#else
static LeadByteTest s_test = NULL;

int SystemLeadByte(unsigned char byte) {
    return s_test != NULL && s_test(byte);
}

void SetSystemLeadByteTest(LeadByteTest test) {
    s_test = test;
}
#endif

size_t CharBytes(const char* text, size_t size, size_t at, LeadByteTest isLead) {
    if (at + 1 < size && (unsigned char)text[at + 1] >= 0x40 && isLead((unsigned char)text[at]))
        return 2;
    return 1;
}

size_t FindChar(const char* text, size_t size, char c, LeadByteTest isLead) {
    size_t at;
    /* No byte of that value, so no such character: the common case needs no lead-byte test. */
    if (size == 0 || memchr(text, (unsigned char)c, size) == NULL)
        return size;
    for (at = 0; at < size; at += CharBytes(text, size, at, isLead))
        if (text[at] == c)
            return at;
    return size;
}

size_t FindLastOf(const char* text, size_t size, const char* set, LeadByteTest isLead) {
    size_t found = size;
    size_t at;
    for (at = 0; at < size; at += CharBytes(text, size, at, isLead))
        if (text[at] != '\0' && strchr(set, text[at]) != NULL)
            found = at;
    return found;
}

size_t FindLastChar(const char* text, size_t size, char c, LeadByteTest isLead) {
    const char set[2] = {c, '\0'};
    return c == '\0' ? size : FindLastOf(text, size, set, isLead);
}

size_t CutToChars(const char* text, size_t size, size_t limit, LeadByteTest isLead) {
    size_t at = 0;
    if (limit >= size)
        return size;
    for (;;) {
        const size_t next = at + CharBytes(text, size, at, isLead);
        if (next > limit)
            return at;
        at = next;
    }
}

int EndsWithChar(const char* text, size_t size, char c, LeadByteTest isLead) {
    size_t last = size;
    size_t at;
    for (at = 0; at < size; at += CharBytes(text, size, at, isLead))
        last = at;
    return last < size && size - last == 1 && text[last] == c;
}

int HasWholeChars(const char* text, size_t size, LeadByteTest isLead) {
    size_t at;
    size_t bytes;
    for (at = 0; at < size; at += bytes) {
        bytes = CharBytes(text, size, at, isLead);
        if (bytes == 1 && isLead((unsigned char)text[at]))
            return 0;
    }
    return 1;
}

int SystemHasForm(const char* text, size_t size) {
#ifdef _WIN32
    int wide;
    int same = 0;
    WCHAR* buffer;
    char* back;
    if (!HasWholeChars(text, size, SystemLeadByte))
        return 0;
    if (size == 0)
        return 1;
    /* Unassigned pairs and the bytes a code page leaves undefined come back as another text. */
    wide = MultiByteToWideChar(CP_ACP, 0, text, (int)size, NULL, 0);
    if (wide <= 0)
        return 0;
    buffer = (WCHAR*)malloc((size_t)wide * sizeof(WCHAR));
    back = (char*)malloc(size + 1);
    if (buffer != NULL && back != NULL &&
        MultiByteToWideChar(CP_ACP, 0, text, (int)size, buffer, wide) == wide)
        same = WideCharToMultiByte(CP_ACP, 0, buffer, wide, back, (int)size + 1, NULL, NULL) ==
                   (int)size &&
               memcmp(back, text, size) == 0;
    free(buffer);
    free(back);
    return same;
#else
    return HasWholeChars(text, size, SystemLeadByte);
#endif
}
