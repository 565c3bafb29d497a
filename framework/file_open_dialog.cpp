#include "file_open_dialog.h"

#include "system_chars.h"

#include "application.h"

#include <cstddef>
#include <cstring>

// The common-dialog library of Windows 95, 98, ME and NT 4.0 refuses any other size than the
// Windows 4.0 one (OPENFILENAME_SIZE_VERSION_400A): the structure up to lpTemplateName,
// without the three members that Windows 2000 added and the headers declare.
static constexpr DWORD kWindows4Size =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
static_assert(kWindows4Size == 76, "the Windows 4.0 size of OPENFILENAMEA");

// The hook that OFN_ENABLEHOOK asks for; it leaves every message to the dialog.
static UINT_PTR CALLBACK PassThroughHook(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

FileOpenDialog::FileOpenDialog(const char* defaultExtension, const char* fileName, DWORD flags,
                               const char* filter, HWND parent) {
    std::memset(&m_ofn, 0, sizeof(m_ofn));
    std::memset(m_fileName, 0, sizeof(m_fileName));
    m_ofn.lStructSize = kWindows4Size;
    m_ofn.hwndOwner = parent != nullptr ? parent : MainWindowHandle();
    m_ofn.hInstance = ::GetModuleHandleA(nullptr);
    m_ofn.Flags = flags;
    m_ofn.lpfnHook = PassThroughHook;
    if (fileName != nullptr)
        std::strncpy(m_fileName, fileName, MAX_PATH - 1);
    m_ofn.lpstrFile = m_fileName;
    m_ofn.nMaxFile = MAX_PATH;
    if (defaultExtension != nullptr) {
        m_defaultExtension = defaultExtension;
        m_ofn.lpstrDefExt = m_defaultExtension.c_str();
    }
    if (filter != nullptr) {
        // "|" separates the texts; the system wants NULs and a double NUL at the end. A trail
        // byte of that value belongs to its character.
        m_filter = filter;
        for (size_t at = 0; at < m_filter.size();) {
            const size_t bytes = CharBytes(m_filter.data(), m_filter.size(), at, SystemLeadByte);
            if (bytes == 1 && m_filter[at] == '|')
                m_filter[at] = '\0';
            at += bytes;
        }
        m_filter.push_back('\0');
        m_ofn.lpstrFilter = m_filter.c_str();
    }
}

INT_PTR FileOpenDialog::DoModal() {
    return ::GetOpenFileNameA(&m_ofn) ? IDOK : IDCANCEL;
}

const char* FileOpenDialog::GetStartPosition() const {
    return SelectedPaths(m_ofn.lpstrFile, m_ofn.nMaxFile).GetStartPosition();
}

std::string FileOpenDialog::GetNextPathName(const char*& pos) const {
    return SelectedPaths(m_ofn.lpstrFile, m_ofn.nMaxFile).GetNextPathName(pos);
}
