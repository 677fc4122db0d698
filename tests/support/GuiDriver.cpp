#include "support/GuiDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <thread>

namespace gui {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

RunningProgram::RunningProgram(const std::wstring& path, const std::wstring& workingFolder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + path + L"\"";
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
    }
}

RunningProgram::~RunningProgram() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

namespace {

struct TopLevelSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<TopLevelSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId) search.found.push_back(window);
    return TRUE;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

}  // namespace

std::vector<HWND> RunningProgram::TopLevelWindows() const {
    TopLevelSearch search{processId_, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND RunningProgram::WaitForWindow(const std::wstring& caption, std::chrono::milliseconds timeout) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows()) {
                if (IsWindowVisible(window) && (caption.empty() || ReadText(window) == caption)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

HWND RunningProgram::WaitForWindowOfClass(const std::wstring& windowClass,
                                          std::chrono::milliseconds timeout) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows()) {
                if (IsWindowVisible(window) && ClassOf(window) == windowClass) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

namespace {

HWND ChildOfClass(HWND parent, const wchar_t* windowClass) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpiW(name, windowClass) == 0) return child;
    }
    return nullptr;
}

}  // namespace

bool RunningProgram::ChooseFolderInDialog(HWND dialog, const std::wstring& path) const {
    // The selection message carries a pointer into the dialog's own process: put the
    // path there first.
    size_t size = (path.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return false;
    bool selected = false;
    if (WriteProcessMemory(process_, remote, path.c_str(), size, nullptr)) {
        // The dialog names the selected folder in its edit box. The shell may still be
        // refreshing its tree when the dialog shows (after a folder was just made), which
        // can drop a selection: select again until the name shows.
        std::wstring leaf = path.substr(path.find_last_of(L'\\') + 1);
        HWND edit = ChildOfClass(dialog, L"Edit");
        for (int attempt = 0; attempt < 20 && !selected; ++attempt) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL,
                                60000, &ignored);
            selected = !edit || WaitUntil([&] { return ReadText(edit) == leaf; }, 500ms);
        }
        if (selected) {
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            WaitUntil([&] { return !IsWindow(dialog); }, 10s);
        }
    }
    VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    return selected;
}

DWORD RunningProgram::WaitForExit(std::chrono::milliseconds timeout) const {
    if (!process_) return STILL_ACTIVE;
    WaitForSingleObject(process_, static_cast<DWORD>(timeout.count()));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::wstring ControlName(HWND control) {
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(control, L"Nimbrel.Name")));
    if (!atom) return {};
    wchar_t name[256] = {};
    UINT length = GlobalGetAtomNameW(atom, name, 256);
    return std::wstring(name, length);
}

namespace {

BOOL CALLBACK CollectNamed(HWND child, LPARAM lParam) {
    if (!ControlName(child).empty()) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(child);
    return TRUE;
}

}  // namespace

std::vector<HWND> NamedControls(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(window, CollectNamed, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND FindControl(HWND window, const std::wstring& name) {
    for (HWND control : NamedControls(window)) {
        if (ControlName(control) == name) return control;
    }
    return nullptr;
}

std::wstring ReadText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 10000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 10000, &copied);
    text.resize(copied);
    return text;
}

Place PlaceOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring WindowsPathOf(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

std::wstring BuildPath(const std::string& relative) {
    const char* build = getenv("QV_BUILD_DIR");
    return WindowsPathOf(std::string(build ? build : ".") + "/" + relative);
}

bool IsShown(HWND control) { return IsWindowVisible(control) != FALSE; }

bool IsEnabled(HWND control) { return IsWindowEnabled(control) != FALSE; }

int ProgressPosition(HWND progressBar) {
    DWORD_PTR position = 0;
    SendMessageTimeoutW(progressBar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 10000, &position);
    return static_cast<int>(position);
}

COLORREF PixelAt(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 1, 1, screen, point.x, point.y, SRCCOPY);
    COLORREF colour = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

void SetEditText(HWND edit, const std::wstring& text, std::chrono::milliseconds timeout) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        static_cast<UINT>(timeout.count()), &ignored);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void Close(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

bool SaveScreenshot(const std::wstring& path) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{0x4D42, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + imageSize, 0, 0,
                          sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    info.bmiHeader.biSizeImage = imageSize;
    bool saved = false;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        saved = WriteFile(out, &file, sizeof file, &written, nullptr) &&
                WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
                WriteFile(out, bits, imageSize, &written, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

}  // namespace gui
