#include "app/runtime/Program.h"

#include "app/runtime/Window.h"

#include <ole2.h>
#include <windows.h>
#include <commctrl.h>

namespace {

void (*exitRoutine)() = nullptr;

LRESULT CALLBACK WatchStartupWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, WatchStartupWindow, id);
        PostQuitMessage(0);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

void InitialiseRuntime() {
    // The folder dialog of the shell needs OLE on this thread; it stays initialised for
    // the life of the program, so routines that pair their own COM start and end on
    // this thread never take it down.
    OleInitialize(nullptr);
}

void RegisterExitRoutine(void (*routine)()) { exitRoutine = routine; }

int RunStartupWindow(const FormDef& form, std::vector<EventBinding> events, Window* loadedWindow) {
    Window window;
    Window& target = loadedWindow ? *loadedWindow : window;
    bool loaded = LoadWindow(form, std::move(events), false, nullptr, &target);
    window = target;
    if (loaded && IsWindow(window.Handle())) {
        SetWindowSubclass(window.Handle(), WatchStartupWindow, 1, 0);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            HWND root = GetAncestor(message.hwnd, GA_ROOT);
            if (root && IsDialogMessageW(root, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (exitRoutine) {
        auto routine = exitRoutine;
        exitRoutine = nullptr;
        routine();
    }
    return 0;
}
