#pragma once
// Drives a running copy of the program from another process, as a person would: finds
// its windows and controls, reads what they show, types into edit boxes, presses
// buttons, answers dialogs and waits for things to happen.
//
// Controls are found by the names their form gives them (the runtime records each
// control's name on its native window).

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace gui {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `timeout` passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 20s);

class RunningProgram {
public:
    // Starts the program; the environment of the test process is inherited.
    explicit RunningProgram(const std::wstring& path, const std::wstring& workingFolder = L"");
    ~RunningProgram();  // ends the program if it still runs
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD ProcessId() const { return processId_; }

    // The first visible top-level window of the program whose caption is `caption`
    // (any caption when empty), or null after the timeout.
    HWND WaitForWindow(const std::wstring& caption = L"", std::chrono::milliseconds timeout = 30s) const;
    // A top-level window of the program of the given class (such as L"#32770").
    HWND WaitForWindowOfClass(const std::wstring& windowClass, std::chrono::milliseconds timeout = 20s) const;
    std::vector<HWND> TopLevelWindows() const;

    // In the program's open folder dialog, selects `path` (as the dialog's own
    // selection message does) and confirms it.
    bool ChooseFolderInDialog(HWND dialog, const std::wstring& path) const;

    // Waits for the process to end; its exit code, or STILL_ACTIVE after the timeout.
    DWORD WaitForExit(std::chrono::milliseconds timeout = 20s) const;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

struct Place {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Place&) const = default;
};

// The control of that form name inside `window`, or null.
HWND FindControl(HWND window, const std::wstring& name);
// The form name the runtime recorded for a control.
std::wstring ControlName(HWND control);
// Every named control inside `window`.
std::vector<HWND> NamedControls(HWND window);

std::wstring ReadText(HWND window);
// Place and size relative to the control's parent window.
Place PlaceOf(HWND control);
bool IsShown(HWND control);  // visible, and every ancestor too
bool IsEnabled(HWND control);
int ProgressPosition(HWND progressBar);

// What the screen shows at a point of a window's client area.
COLORREF PixelAt(HWND window, int x, int y);

// Sets an edit box's text as a paste would; the program's handler runs before this
// returns (or after the timeout).
void SetEditText(HWND edit, const std::wstring& text, std::chrono::milliseconds timeout = 60s);
// Presses a button without waiting for what the press starts (it may open a dialog).
void Click(HWND button);
// Asks a window to close, as its close box does.
void Close(HWND window);

// The Windows path of a file of the machine Wine runs on (Wine's Z: drive is the root).
std::wstring WindowsPathOf(const std::string& unixPath);
// The Windows path of a file in the build folder, which tests find in QV_BUILD_DIR.
std::wstring BuildPath(const std::string& relative);

// Saves a picture of the whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::wstring& path);

}  // namespace gui
