#pragma once
// Windows and controls built from forms. A Window and a Control are light handles over
// the native windows; every property may be read or written from any thread: the
// runtime carries the access out on the window's own thread and waits for it.

#include "app/runtime/Form.h"

#include <windows.h>

struct Place {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Place&) const = default;
};

class Control {
public:
    Control() = default;
    explicit Control(HWND handle) : handle_(handle) {}

    HWND Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    Text GetText() const;
    void SetText(TextView text) const;
    bool Disabled() const;
    void SetDisabled(bool disabled) const;
    bool Visible() const;
    void SetVisible(bool visible) const;
    Place Position() const;  // relative to its container
    void SetPosition(const Place& place) const;
    void SetLeft(int left) const;
    void SetTop(int top) const;
    void SetHeight(int height) const;
    COLORREF BackColour() const;
    void SetBackColour(COLORREF colour) const;
    int CurrentPage() const;  // tab control; -1 for other kinds
    void SetCurrentPage(int page) const;
    int ProgressPosition() const;
    void SetProgressPosition(int position) const;
    void Focus() const;

private:
    HWND handle_ = nullptr;
};

class Window {
public:
    Window() = default;
    explicit Window(HWND handle) : handle_(handle) {}

    HWND Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // The control of that name; an empty Control when the window has none.
    Control operator[](TextView name) const;
    Text Caption() const;
    void SetCaption(TextView caption) const;
    int Width() const;
    void Focus() const;
    void Close() const;

private:
    HWND handle_ = nullptr;
};

// Loads a window from its form. The created handler runs before the window shows.
// Modal: the other windows of the thread are disabled and the call returns when the
// window has closed. Returns whether the window loaded; `loaded` receives it.
bool LoadWindow(const FormDef& form, std::vector<EventBinding> events, bool modal,
                HWND parent = nullptr, Window* loaded = nullptr);

// Runs `work` on the thread that owns `window` and waits for it; runs it at once when
// the caller is that thread. Nothing runs when the window no longer exists.
void RunOnWindowThread(HWND window, const std::function<void()>& work);

// Lets the pending messages of the calling thread run.
void HandlePendingEvents();

// Disables every enabled top-level window of the calling thread except `keep`, and
// enables them again when it goes out of scope: how modal windows and dialogs keep
// the rest of the program out of reach.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(HWND keep = nullptr);
    ~ThreadWindowsDisabled();
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

private:
    std::vector<HWND> disabled_;
};
