// Drives Trellisan.exe from another process, as a user would see it:
//
//   trellisan_driver drive TRELLISAN.EXE SHOT.BMP   fills the store, starts the program, reads
//       its lists, selects an effect and a preset, resizes the window, saves a screenshot,
//       closes it and checks the placement it stored; exit status 0 when all held
//   trellisan_driver restart TRELLISAN.EXE   closes the program minimised, maximised and in
//       its normal state, starts it again each time and checks that it comes back in that
//       state with the normal rectangle it had; exit status 0 when all held
//   trellisan_driver shot TRELLISAN.EXE SHOT.BMP [SECONDS]   starts the program, selects the
//       first effect and its first preset, waits (default 1 s), saves a screenshot, closes it
//   trellisan_driver filedialog TRELLISAN.EXE PROBE.DLL   copies the program into a folder of
//       its own with the stand-in common-dialog library as comdlg32.dll, starts it there,
//       clicks Load and checks the structure size the file dialog was handed
//
// Paths may be given as Unix paths; they are reached through drive Z:.
#include "registry_key.h"
#include "registry_test_support.h"
#include "resource.h"
#include "window_readers.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The main window's title, and the prefix of the placement values named after it.
constexpr const char* kTitle = "Effects Trellisan";
const std::string kValuePrefix = "Effects_Trellisan";

// How long a window may take to appear or go, and a program to end: generous, as a start
// takes seconds where 32-bit code runs emulated on a busy machine.
constexpr DWORD kWaitMilliseconds = 60000;

int g_failures = 0;

// Polls until done holds or the wait is over.
template <class Done> void WaitUntil(Done done) {
    const DWORD kPollMilliseconds = 50;
    for (DWORD waited = 0; !done() && waited < kWaitMilliseconds; waited += kPollMilliseconds)
        ::Sleep(kPollMilliseconds);
}

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok)
        ++g_failures;
}

using test_support::WindowsPath;

// The product's keys below its own key.
void Wipe(const char* name) {
    test_support::WipeKey(SubkeyPath(test_support::kProductKey, name));
}

void AddKey(const std::string& path) {
    test_support::SetDwordValue(SubkeyPath(kEffectsRoot, path), "Level", 5);
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// Starts the program and waits for its main window.
HWND Start(const std::string& program, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + program + "\"";
    if (!::CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process)) {
        std::printf("cannot start %s (error %lu)\n", program.c_str(), ::GetLastError());
        return nullptr;
    }
    ::WaitForInputIdle(process.hProcess, kWaitMilliseconds);
    HWND window = nullptr;
    WaitUntil([&window] {
        window = ::FindWindowA(nullptr, kTitle);
        return window != nullptr && ::IsWindowVisible(window);
    });
    return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
}

bool Stop(HWND window, PROCESS_INFORMATION& process) {
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    bool ended = ::WaitForSingleObject(process.hProcess, kWaitMilliseconds) == WAIT_OBJECT_0;
    if (!ended)
        ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return ended;
}

// Copies the window's area of the screen into a 24-bit BMP file; returns the number of
// distinct colours seen (a blank capture has one).
int SaveScreenshot(HWND window, const std::string& path) {
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(300);
    RECT r;
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return 0;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP picture = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, picture);
    ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = (width * 3 + 3) & ~3u;
    const DWORD size = stride * height;
    std::vector<DWORD> colours;
    const BYTE* p = static_cast<const BYTE*>(bits);
    for (int y = 0; y < height && colours.size() < 16; y += 3)
        for (int x = 0; x < width && colours.size() < 16; x += 3) {
            const BYTE* px = p + y * stride + x * 3;
            DWORD c = px[0] | (px[1] << 8) | (px[2] << 16);
            bool seen = false;
            for (DWORD k : colours)
                seen = seen || k == c;
            if (!seen)
                colours.push_back(c);
        }
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        std::fwrite(bits, size, 1, out);
        std::fclose(out);
    } else {
        colours.clear();
    }
    ::SelectObject(memory, old);
    ::DeleteObject(picture);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return static_cast<int>(colours.size());
}

bool ReadSetting(const char* name, DWORD& value) {
    return test_support::GetDword(kSettingsKey, name, value);
}

// The program file: a windowed program carrying the version of the build.
void CheckProgramFile(const std::string& program) {
    HANDLE file = ::CreateFileA(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    std::vector<BYTE> head(4096);
    DWORD got = 0;
    ::ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr);
    ::CloseHandle(file);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(head.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(head.data() + dos->e_lfanew);
    Check(got > sizeof(IMAGE_NT_HEADERS32) &&
              nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_GUI,
          "Trellisan.exe is a windowed program");

    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(program.c_str(), &handle);
    std::vector<char> data(size ? size : 1);
    std::string version;
    if (size && ::GetFileVersionInfoA(program.c_str(), 0, size, data.data())) {
        char* text = nullptr;
        UINT length = 0;
        if (::VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\FileVersion",
                             reinterpret_cast<void**>(&text), &length))
            version = text;
    }
    Check(version == "1, 0, 0, 1", "file version \"" + version + "\"");
}

// The control that holds the keyboard focus in the program's thread, once the messages posted
// to it have been handled.
HWND FocusOf(const PROCESS_INFORMATION& process) {
    ::WaitForInputIdle(process.hProcess, kWaitMilliseconds);
    ::Sleep(200);
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(process.dwThreadId, &info) ? info.hwndFocus : nullptr;
}

void PressKey(HWND target, WPARAM key) {
    ::PostMessageA(target, WM_KEYDOWN, key, 1);
    ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// The application's message box (its caption is the application's name), once it shows and
// is not the window given.
HWND WaitForBox(HWND other) {
    HWND box = nullptr;
    WaitUntil([&box, other] {
        box = ::FindWindowA(nullptr, "Trellisan");
        return box != nullptr && box != other && ::IsWindowVisible(box);
    });
    return box != nullptr && box != other && ::IsWindowVisible(box) ? box : nullptr;
}

// Whether a message box of the application shows a moment after the last one closed.
bool VisibleBox() {
    ::Sleep(300);
    HWND box = ::FindWindowA(nullptr, "Trellisan");
    return box != nullptr && ::IsWindowVisible(box);
}

BOOL CALLBACK AddChildText(HWND child, LPARAM texts) {
    char text[4096] = {0};
    ::GetWindowTextA(child, text, sizeof text);
    *reinterpret_cast<std::string*>(texts) += std::string(text) + "\n";
    return TRUE;
}

// The texts of a window's children, one a line.
std::string BoxText(HWND box) {
    std::string texts;
    if (box != nullptr)
        ::EnumChildWindows(box, AddChildText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

BOOL CALLBACK FindIcon(HWND child, LPARAM found) {
    if (::SendMessageA(child, STM_GETICON, 0, 0) != 0)
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

bool ShowsAnIcon(HWND box) {
    bool found = false;
    ::EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&found));
    return found;
}

int Drive(const std::string& program, const std::string& shot) {
    CheckProgramFile(program);
    Wipe("Effects");
    Wipe("Settings");
    AddKey("Reverb\\Room");
    AddKey("Reverb\\Hall");
    AddKey("Echo\\Slap");
    AddKey("Chorus");

    PROCESS_INFORMATION process = {};
    HWND window = Start(program, process);
    Check(window != nullptr, "the window \"Effects Trellisan\" appears");
    if (window == nullptr)
        return 1;

    HWND effects = ::GetDlgItem(window, IDC_EFFECT_LIST),
         presets = ::GetDlgItem(window, IDC_PRESET_LIST);
    std::string listed = Joined(ListItems(effects));
    Check(listed == "Chorus, Echo, Reverb", "effect list: " + listed);
    Check(!::IsWindowEnabled(::GetDlgItem(window, IDC_SAVE_TO)), "Save To starts disabled");

    ::SendMessageA(effects, LB_SETCURSEL, 2, 0);
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_EFFECT_LIST, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(effects));
    listed = Joined(ListItems(presets));
    Check(listed == "Hall, Room", "presets of Reverb: " + listed);
    ::SendMessageA(presets, LB_SETSEL, TRUE, 0);
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_PRESET_LIST, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(presets));
    Check(::IsWindowEnabled(::GetDlgItem(window, IDC_SAVE_TO)) &&
              ::IsWindowEnabled(::GetDlgItem(window, IDC_DELETE)),
          "selecting a preset enables Save To and Delete");

    // The About box runs modally over the main window, which is disabled meanwhile.
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_ABOUT)));
    HWND about = nullptr;
    WaitUntil([&about] {
        about = ::FindWindowA(nullptr, "About Trellisan");
        return about != nullptr && ::IsWindowVisible(about);
    });
    Check(about != nullptr && ::IsWindowVisible(about), "About shows its box");
    Check(!::IsWindowEnabled(window), "the main window is disabled while About runs");
    ::PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitUntil([about] { return !::IsWindow(about); });
    Check(!::IsWindow(about) && ::IsWindowEnabled(window), "OK closes About; the main window "
                                                           "is enabled again");

    const RECT loadBefore = ChildRect(window, IDC_LOAD);
    const RECT labelBefore = ChildRect(window, IDC_EFFECT_LABEL);
    RECT w;
    ::GetWindowRect(window, &w);
    ::SetWindowPos(window, nullptr, 40, 30, w.right - w.left + 100, w.bottom - w.top + 50,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::Sleep(200);
    const RECT loadAfter = ChildRect(window, IDC_LOAD);
    const RECT labelAfter = ChildRect(window, IDC_EFFECT_LABEL);
    Check(loadAfter.left == loadBefore.left + 100 && loadAfter.top == loadBefore.top,
          "Load follows the right edge");
    Check(::EqualRect(&labelAfter, &labelBefore) != FALSE, "the Effect label stays");

    const int colours = SaveScreenshot(window, shot);
    Check(colours > 2, "screenshot saved to " + shot);

    // With the keyboard alone: the focus on Delete, Space, Yes. Delete disables itself and
    // passes the focus on, so that Tab still moves it.
    HWND deleteButton = ::GetDlgItem(window, IDC_DELETE);
    ::PostMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(deleteButton), TRUE);
    Check(FocusOf(process) == deleteButton, "the focus is on Delete");
    PressKey(deleteButton, VK_SPACE);
    HWND box = nullptr;
    WaitUntil([&box] {
        box = ::FindWindowA(nullptr, "Trellisan");
        return box != nullptr && ::IsWindowVisible(box);
    });
    Check(box != nullptr, "Space on Delete asks first");
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    WaitUntil([presets] { return ::SendMessageA(presets, LB_GETCOUNT, 0, 0) == 1; });
    HWND focus = FocusOf(process);
    Check(focus != nullptr && focus != deleteButton && ::IsWindowEnabled(focus),
          "after Delete an enabled control holds the focus");
    PressKey(focus, VK_TAB);
    HWND next = FocusOf(process);
    Check(next != nullptr && next != focus, "Tab moves the focus on");
    Check(!VisibleBox(), "a Delete that did everything shows nothing after it");

    // A preset that another program deletes meanwhile: one warning box, owned by the main
    // window, with an OK button and the warning icon, names it.
    ::SendMessageA(presets, LB_SETSEL, TRUE, 0);
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_PRESET_LIST, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(presets));
    test_support::WipeKey(SubkeyPath(kEffectsRoot, "Reverb\\Room"));
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_DELETE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(deleteButton));
    HWND question = WaitForBox(nullptr);
    Check(question != nullptr && ::GetDlgItem(question, IDYES) != nullptr, "Delete asks first");
    ::PostMessageA(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    HWND warning = WaitForBox(question);
    const std::string said = BoxText(warning);
    Check(warning != nullptr && ::GetWindow(warning, GW_OWNER) == window &&
              ::GetDlgItem(warning, IDOK) != nullptr && ::GetDlgItem(warning, IDYES) == nullptr &&
              ShowsAnIcon(warning),
          "a warning box with OK and an icon, owned by the main window, follows");
    Check(said.find("Reverb\\Room: no such preset") != std::string::npos,
          "it names the preset and why: \"" + said + "\"");
    ::PostMessageA(warning, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitUntil([warning] { return !::IsWindow(warning); });
    Check(!::IsWindow(warning) && ::SendMessageA(presets, LB_GETCOUNT, 0, 0) == 0,
          "OK closes it; the preset is gone from the list");

    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    ::GetWindowPlacement(window, &placement);
    Check(Stop(window, process), "the program ends when its window is closed");

    const RECT& r = placement.rcNormalPosition;
    const struct {
        const char* name;
        LONG expected;
    } values[] = {{"_Left", r.left},     {"_Top", r.top}, {"_Right", r.right},
                  {"_Bottom", r.bottom}, {"_Flags", 0},   {"_Status", SW_SHOWNORMAL}};
    for (const auto& v : values) {
        DWORD stored = 0xDEADBEEF;
        bool present = ReadSetting((kValuePrefix + v.name).c_str(), stored);
        Check(present && static_cast<LONG>(stored) == v.expected,
              kValuePrefix + v.name + " = " + std::to_string(static_cast<LONG>(stored)));
    }
    Wipe("Effects");
    Wipe("Settings");
    return g_failures == 0 ? 0 : 1;
}

// The show state a window is in, as the placement memory stores it.
UINT ShowState(HWND window) {
    if (::IsIconic(window))
        return SW_SHOWMINIMIZED;
    if (::IsZoomed(window))
        return SW_SHOWMAXIMIZED;
    return SW_SHOWNORMAL;
}

std::string Text(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

// Sends the window a command of its system menu, as the user would give it, and lets it act.
void SystemCommand(HWND window, WPARAM command) {
    ::PostMessageA(window, WM_SYSCOMMAND, command, 0);
    ::Sleep(300);
}

// Closed minimised, maximised or normal, the program starts again in that state, with the
// normal rectangle it had for the restore. The rectangles are read with GetWindowRect while
// the window stands normal: Wine tells another process a window's normal rectangle only then.
int Restart(const std::string& program) {
    Wipe("Settings");
    const struct {
        const char* name;
        UINT state;
        WPARAM command; // the system command that brings the window into the state
    } states[] = {{"minimised", SW_SHOWMINIMIZED, SC_MINIMIZE},
                  {"maximised", SW_SHOWMAXIMIZED, SC_MAXIMIZE},
                  {"normal", SW_SHOWNORMAL, SC_RESTORE}};
    int offset = 0;
    for (const auto& s : states) {
        const std::string name = s.name;
        PROCESS_INFORMATION process = {};
        HWND window = Start(program, process);
        Check(window != nullptr, name + ": the window appears");
        if (window == nullptr)
            return 1;
        // A normal rectangle of its own for each round, larger than the template's.
        RECT normal;
        ::GetWindowRect(window, &normal);
        offset += 40;
        ::SetWindowPos(window, nullptr, 30 + offset, 20 + offset,
                       normal.right - normal.left + offset, normal.bottom - normal.top + offset / 2,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::Sleep(200);
        ::GetWindowRect(window, &normal);
        SystemCommand(window, s.command);
        Check(ShowState(window) == s.state, name + ": closed in that state");
        Check(Stop(window, process), name + ": the program ends");
        DWORD stored = 0;
        const bool present = ReadSetting((kValuePrefix + "_Status").c_str(), stored);
        Check(present && stored == s.state,
              name + ": show state stored as " + std::to_string(stored));

        window = Start(program, process);
        Check(window != nullptr, name + ": the window appears again");
        if (window == nullptr)
            return 1;
        ::Sleep(300);
        const UINT state = ShowState(window);
        Check(state == s.state, name + ": starts in that state (" + std::to_string(state) + ")");
        SystemCommand(window, SC_RESTORE);
        RECT restored;
        ::GetWindowRect(window, &restored);
        Check(::EqualRect(&restored, &normal) != FALSE,
              name + ": restores to " + Text(restored) + ", closed with " + Text(normal));
        Check(Stop(window, process), name + ": the program ends again");
    }
    Wipe("Settings");
    return g_failures == 0 ? 0 : 1;
}

int Shot(const std::string& program, const std::string& shot, int seconds) {
    PROCESS_INFORMATION process = {};
    HWND window = Start(program, process);
    if (window == nullptr) {
        std::printf("the window \"Effects Trellisan\" did not appear\n");
        return 1;
    }
    // Show the first effect's presets, with the first preset selected, as a user would.
    HWND effects = ::GetDlgItem(window, IDC_EFFECT_LIST),
         presets = ::GetDlgItem(window, IDC_PRESET_LIST);
    if (::SendMessageA(effects, LB_GETCOUNT, 0, 0) > 0) {
        ::SendMessageA(effects, LB_SETCURSEL, 0, 0);
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_EFFECT_LIST, LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(effects));
        ::SendMessageA(presets, LB_SETSEL, TRUE, 0);
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_PRESET_LIST, LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(presets));
    }
    ::Sleep(seconds * 1000);
    int colours = SaveScreenshot(window, shot);
    Stop(window, process);
    return colours > 2 ? 0 : 1;
}

int FileDialog(const std::string& program, const std::string& probe) {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "trellisan_filedialog";
    const std::string copy = folder + "\\Trellisan.exe", record = folder + "\\lStructSize.txt";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ::DeleteFileA(record.c_str());
    Check(::CopyFileA(program.c_str(), copy.c_str(), FALSE) &&
              ::CopyFileA(probe.c_str(), (folder + "\\comdlg32.dll").c_str(), FALSE),
          "Trellisan.exe and the stand-in comdlg32.dll copied to " + folder);

    // Wine loads a program's DLLs from its own folder before its built-in ones where the
    // program's settings say so; the test prefix gets that setting for the test's duration.
    const char* kOverrides = "Software\\Wine\\AppDefaults\\Trellisan.exe\\DllOverrides";
    HKEY overrides = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &overrides, nullptr);
    const char kNativeFirst[] = "native,builtin";
    Check(::RegSetValueExA(overrides, "comdlg32", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(kNativeFirst),
                           sizeof kNativeFirst) == ERROR_SUCCESS,
          "Wine told to load comdlg32.dll from the program's folder");
    ::RegCloseKey(overrides);

    PROCESS_INFORMATION process = {};
    HWND window = Start(copy, process);
    Check(window != nullptr, "the window \"Effects Trellisan\" appears");
    if (window == nullptr)
        return 1;
    ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_LOAD, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_LOAD)));
    WaitUntil(
        [&record] { return ::GetFileAttributesA(record.c_str()) != INVALID_FILE_ATTRIBUTES; });
    char size[16] = {};
    if (FILE* in = std::fopen(record.c_str(), "r")) {
        std::fgets(size, sizeof size, in);
        std::fclose(in);
    }
    Check(std::string(size) == "76",
          "Load hands the file dialog the Windows 4.0 OPENFILENAMEA of 76 bytes (got \"" +
              std::string(size) + "\")");
    Check(Stop(window, process), "the program ends again");
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kOverrides);
    ::DeleteFileA(record.c_str());
    ::DeleteFileA(copy.c_str());
    ::DeleteFileA((folder + "\\comdlg32.dll").c_str());
    ::RemoveDirectoryA(folder.c_str());
    return g_failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc >= 4 && std::string(argv[1]) == "drive")
        return Drive(WindowsPath(argv[2]), WindowsPath(argv[3]));
    if (argc >= 3 && std::string(argv[1]) == "restart")
        return Restart(WindowsPath(argv[2]));
    if (argc >= 4 && std::string(argv[1]) == "shot")
        return Shot(WindowsPath(argv[2]), WindowsPath(argv[3]), argc >= 5 ? std::atoi(argv[4]) : 1);
    if (argc >= 4 && std::string(argv[1]) == "filedialog")
        return FileDialog(WindowsPath(argv[2]), WindowsPath(argv[3]));
    std::printf("usage: trellisan_driver drive|restart|shot TRELLISAN.EXE [SHOT.BMP [SECONDS]]\n"
                "       trellisan_driver filedialog TRELLISAN.EXE PROBE.DLL\n");
    return 2;
}
