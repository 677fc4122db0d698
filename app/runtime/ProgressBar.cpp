#include "app/runtime/ProgressBar.h"

#include "app/runtime/WindowClass.h"

#include <commctrl.h>

#include <algorithm>
#include <mutex>

namespace {

struct ProgressState {
    int low = 0;
    int high = 100;
    int position = 0;
};

ProgressState* StateOf(HWND bar) { return reinterpret_cast<ProgressState*>(GetWindowLongPtrW(bar, GWLP_USERDATA)); }

void Paint(HWND bar, const ProgressState& state) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(bar, &paint);
    RECT client;
    GetClientRect(bar, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
    int span = state.high - state.low;
    if (span > 0 && state.position > state.low) {
        RECT filled = client;
        InflateRect(&filled, -2, -2);
        long long width = filled.right - filled.left;
        filled.right = filled.left + static_cast<LONG>(width * (state.position - state.low) / span);
        HBRUSH fill = CreateSolidBrush(RGB(70, 145, 235));
        FillRect(dc, &filled, fill);
        DeleteObject(fill);
    }
    EndPaint(bar, &paint);
}

LRESULT CALLBACK ProgressProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    ProgressState* state = StateOf(bar);
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ProgressState));
        break;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
        break;
    case PBM_SETRANGE32:
        if (!state) return 0;
        state->low = static_cast<int>(wParam);
        state->high = static_cast<int>(lParam);
        state->position = std::clamp(state->position, state->low, std::max(state->low, state->high));
        InvalidateRect(bar, nullptr, FALSE);
        return 0;
    case PBM_SETPOS: {
        if (!state) return 0;
        int previous = state->position;
        state->position = std::clamp(static_cast<int>(wParam), state->low, std::max(state->low, state->high));
        if (state->position != previous) InvalidateRect(bar, nullptr, FALSE);
        return previous;
    }
    case PBM_GETPOS:
        return state ? state->position : 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        if (state) {
            Paint(bar, *state);
            return 0;
        }
        break;
    }
    return DefWindowProcW(bar, message, wParam, lParam);
}

}  // namespace

const wchar_t* ProgressBarClass() {
    static constexpr wchar_t name[] = L"Nimbrel.Progress";
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterRuntimeClass(name, ProgressProc);
    });
    return name;
}
