#include "app/runtime/Window.h"

#include "app/runtime/PngPicture.h"
#include "app/runtime/ProgressBar.h"
#include "app/runtime/Resources.h"
#include "app/runtime/UiFont.h"
#include "app/runtime/WindowClass.h"

#include <commctrl.h>
#include <windowsx.h>

#include <memory>

namespace {

constexpr UINT WM_QV_INVOKE = WM_APP + 0x51;
constexpr wchar_t kFormClass[] = L"Nimbrel.Form";
constexpr wchar_t kPanelClass[] = L"Nimbrel.Panel";
constexpr wchar_t kNameProperty[] = L"Nimbrel.Name";
constexpr wchar_t kStateProperty[] = L"Nimbrel.Control";

// What the runtime keeps for one control beside its native window.
struct ControlState {
    ControlKind kind = ControlKind::Label;
    Text name;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF backColour = NoColour;
    HBRUSH backBrush = nullptr;
    bool border = false;
    std::unique_ptr<PngPicture> picture;
    std::array<std::unique_ptr<PngPicture>, 3> statePictures;
    std::vector<HWND> pages;  // tab control: one panel a page
    int currentPage = -1;
    bool hot = false;  // picture button under the mouse

    ControlState() = default;
    ControlState(const ControlState&) = delete;
    ControlState& operator=(const ControlState&) = delete;
    ~ControlState() {
        if (backBrush) DeleteObject(backBrush);
    }
    void SetBackColour(COLORREF colour) {
        if (backBrush) DeleteObject(backBrush);
        backColour = colour;
        backBrush = colour == NoColour ? nullptr : CreateSolidBrush(colour);
    }
};

// What the runtime keeps for one loaded window.
struct WindowState {
    Text name;
    std::vector<std::unique_ptr<ControlState>> controls;
    std::vector<EventBinding> events;
    COLORREF background = RGB(255, 255, 255);
    HBRUSH backgroundBrush = nullptr;
    bool* closed = nullptr;  // set when the window is destroyed; modal loops watch it

    WindowState() = default;
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;
    ~WindowState() {
        if (backgroundBrush) DeleteObject(backgroundBrush);
    }
};

ControlState* StateOf(HWND window) {
    return window ? static_cast<ControlState*>(GetPropW(window, kStateProperty)) : nullptr;
}

HWND RootOf(HWND window) { return GetAncestor(window, GA_ROOT); }

WindowState* WindowStateOf(HWND root) {
    return reinterpret_cast<WindowState*>(GetWindowLongPtrW(root, GWLP_USERDATA));
}

void RunEvent(HWND anyWindow, Event event, TextView controlName) {
    HWND root = RootOf(anyWindow);
    WindowState* state = root ? WindowStateOf(root) : nullptr;
    if (!state) return;
    for (const EventBinding& binding : state->events) {
        if (binding.event == event && binding.control == controlName && binding.handler) {
            // A copy: the handler may close the window, which frees the bindings.
            std::function<void()> handler = binding.handler;
            handler();
            return;
        }
    }
}

struct Background {
    COLORREF colour;
    HBRUSH brush;
};

// The colour that shows behind the children of `container`: its own, or that of the
// nearest container around it that has one, or the window's.
Background BackgroundOf(HWND container) {
    for (HWND at = container; at; at = GetParent(at)) {
        ControlState* state = StateOf(at);
        if (state && state->backBrush) return {state->backColour, state->backBrush};
        if (WindowState* window = WindowStateOf(at); window && at == RootOf(at)) {
            return {window->background, window->backgroundBrush};
        }
        if (at == RootOf(at)) break;
    }
    return {GetSysColor(COLOR_WINDOW), GetSysColorBrush(COLOR_WINDOW)};
}

LRESULT ColourChild(HWND container, HDC dc, HWND child) {
    ControlState* state = StateOf(child);
    if (state) SetTextColor(dc, state->textColour);
    if (state && state->kind == ControlKind::TransparentLabel) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    if (state && state->backBrush) {
        SetBkColor(dc, state->backColour);
        return reinterpret_cast<LRESULT>(state->backBrush);
    }
    Background behind = BackgroundOf(container);
    SetBkColor(dc, behind.colour);
    return reinterpret_cast<LRESULT>(behind.brush);
}

void DrawPictureButton(const DRAWITEMSTRUCT& item) {
    ControlState* state = StateOf(item.hwndItem);
    if (!state) return;
    Background behind = BackgroundOf(GetParent(item.hwndItem));
    FillRect(item.hDC, &item.rcItem, behind.brush);
    size_t index = (item.itemState & ODS_SELECTED) ? 2 : state->hot ? 1 : 0;
    const PngPicture* picture = state->statePictures[index].get();
    if (!picture || picture->Empty()) picture = state->statePictures[0].get();
    if (picture) picture->DrawStretched(item.hDC, item.rcItem);
}

// Messages a container passes up until they reach the window, where the handlers are.
bool ForwardToWindow(HWND container, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
        result = SendMessageW(GetParent(container), message, wParam, lParam);
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        result = ColourChild(container, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    default:
        return false;
    }
}

void PaintContainer(HWND container) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(container, &paint);
    RECT client;
    GetClientRect(container, &client);
    Background behind = BackgroundOf(container);
    FillRect(dc, &client, behind.brush);
    if (ControlState* state = StateOf(container)) {
        if (state->picture) state->picture->DrawFitted(dc, client);
        if (state->border) FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
    } else if (ControlState* host = StateOf(GetParent(container)); host && host->kind == ControlKind::TabControl) {
        // A page of a tab control wears the tab control's frame.
        FrameRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    EndPaint(container, &paint);
}

// Picture boxes, shape boxes, tab controls and their pages.
LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (ForwardToWindow(panel, message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintContainer(panel);
        return 0;
    case WM_NCDESTROY:
        RemovePropW(panel, kStateProperty);
        if (ATOM atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(panel, kNameProperty)))) {
            GlobalDeleteAtom(atom);
        }
        break;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

LRESULT CALLBACK PictureButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR) {
    ControlState* state = StateOf(button);
    if (state && message == WM_MOUSEMOVE && !state->hot) {
        state->hot = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
        InvalidateRect(button, nullptr, FALSE);
    } else if (state && message == WM_MOUSELEAVE) {
        state->hot = false;
        InvalidateRect(button, nullptr, FALSE);
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(button, PictureButtonProc, 0);
    }
    return DefSubclassProc(button, message, wParam, lParam);
}

void ReleaseControlProperties(HWND child) {
    RemovePropW(child, kStateProperty);
    if (ATOM atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(child, kNameProperty)))) {
        GlobalDeleteAtom(atom);
    }
}

BOOL CALLBACK ReleaseChild(HWND child, LPARAM) {
    ReleaseControlProperties(child);
    return TRUE;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (message) {
    case WM_QV_INVOKE:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    case WM_COMMAND: {
        HWND child = reinterpret_cast<HWND>(lParam);
        ControlState* state = StateOf(child);
        if (!state) break;
        UINT code = HIWORD(wParam);
        if (code == BN_CLICKED &&
            (state->kind == ControlKind::Button || state->kind == ControlKind::PictureButton)) {
            RunEvent(window, Event::Clicked, state->name);
        } else if (code == EN_CHANGE && state->kind == ControlKind::EditBox) {
            RunEvent(window, Event::TextChanged, state->name);
        }
        return 0;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (ControlState* state = StateOf(item.hwndItem); state && state->kind == ControlKind::PictureButton) {
            DrawPictureButton(item);
            return TRUE;
        }
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        ForwardToWindow(window, message, wParam, lParam, result);
        return result;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, BackgroundOf(window).brush);
        return 1;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (WindowState* state = WindowStateOf(window); state && state->closed) *state->closed = true;
        break;
    case WM_NCDESTROY: {
        EnumChildWindows(window, ReleaseChild, 0);
        ReleaseControlProperties(window);
        delete WindowStateOf(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClasses() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);

    RegisterRuntimeClass(kFormClass, FormProc);
    RegisterRuntimeClass(kPanelClass, PanelProc);
}

void Name(HWND window, TextView name) {
    std::wstring wide = GbkToWide(name);
    if (!wide.empty()) {
        SetPropW(window, kNameProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GlobalAddAtomW(wide.c_str()))));
    }
}

HWND CreateNative(const ControlDef& def, HWND container, int id) {
    std::wstring text = GbkToWide(def.text);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    const wchar_t* windowClass = kPanelClass;
    switch (def.kind) {
    case ControlKind::EditBox:
        windowClass = WC_EDITW;
        style |= WS_TABSTOP | ES_LEFT;
        style |= def.multiline ? (ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL) : ES_AUTOHSCROLL;
        if (def.readOnly) style |= ES_READONLY;
        exStyle |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::Label:
    case ControlKind::TransparentLabel:
        windowClass = WC_STATICW;
        style |= SS_NOPREFIX | (def.multiline ? SS_LEFT : (SS_LEFTNOWORDWRAP | SS_CENTERIMAGE));
        if (def.kind == ControlKind::TransparentLabel) exStyle |= WS_EX_TRANSPARENT;
        break;
    case ControlKind::Button:
        windowClass = WC_BUTTONW;
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    case ControlKind::PictureButton:
        windowClass = WC_BUTTONW;
        style |= WS_TABSTOP | BS_OWNERDRAW;
        break;
    case ControlKind::ProgressBar:
        windowClass = ProgressBarClass();
        break;
    case ControlKind::TabControl:
    case ControlKind::PictureBox:
    case ControlKind::ShapeBox:
        style |= WS_CLIPCHILDREN;
        exStyle |= WS_EX_CONTROLPARENT;
        break;
    }
    if (def.disabled) style |= WS_DISABLED;
    return CreateWindowExW(exStyle, windowClass, text.c_str(), style, def.left, def.top, def.width, def.height,
                           container, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

std::unique_ptr<PngPicture> PictureFromResource(int id) {
    if (id == 0) return nullptr;
    return std::make_unique<PngPicture>(ResourceBytes(id));
}

// Builds one control inside `container` and records its state with the window.
HWND BuildControl(const ControlDef& def, HWND container, WindowState& window, int id) {
    HWND native = CreateNative(def, container, id);
    if (!native) return nullptr;
    auto state = std::make_unique<ControlState>();
    state->kind = def.kind;
    state->name = def.name;
    state->textColour = def.textColour;
    state->border = def.border;
    state->SetBackColour(def.backColour);
    SendMessageW(native, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    switch (def.kind) {
    case ControlKind::ProgressBar:
        SendMessageW(native, PBM_SETRANGE32, def.rangeMin, def.rangeMax);
        SendMessageW(native, PBM_SETPOS, def.position, 0);
        break;
    case ControlKind::PictureBox:
        state->picture = PictureFromResource(def.picture);
        break;
    case ControlKind::PictureButton:
        for (size_t i = 0; i < def.statePictures.size(); ++i) {
            state->statePictures[i] = PictureFromResource(def.statePictures[i]);
        }
        SetWindowSubclass(native, PictureButtonProc, 0, 0);
        break;
    case ControlKind::TabControl:
        for (const Text& page : def.pages) {
            std::wstring title = GbkToWide(page);
            HWND panel = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, title.c_str(),
                                         WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, def.width,
                                         def.height, native, nullptr, GetModuleHandleW(nullptr), nullptr);
            state->pages.push_back(panel);
        }
        if (!state->pages.empty()) {
            state->currentPage = 0;
            ShowWindow(state->pages[0], SW_SHOWNA);
        }
        break;
    default:
        break;
    }
    Name(native, def.name);
    SetPropW(native, kStateProperty, state.get());
    window.controls.push_back(std::move(state));
    return native;
}

BOOL CALLBACK FindNamed(HWND child, LPARAM lParam) {
    auto& search = *reinterpret_cast<std::pair<TextView, HWND>*>(lParam);
    ControlState* state = StateOf(child);
    if (state && state->name == search.first) {
        search.second = child;
        return FALSE;
    }
    return TRUE;
}

HWND FindControl(HWND root, TextView name) {
    std::pair<TextView, HWND> search{name, nullptr};
    EnumChildWindows(root, FindNamed, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Runs `work` on the control's window thread, unless the control is gone.
template <typename Work>
void OnControlThread(HWND control, Work&& work) {
    RunOnWindowThread(control, [&] {
        if (IsWindow(control)) work();
    });
}

void RedrawTransparent(HWND control) {
    // A transparent control shows its container: redraw that part of the container.
    HWND parent = GetParent(control);
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    RedrawWindow(parent, &place, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool OverlapsEarlierSibling(HWND control) {
    RECT mine;
    GetWindowRect(control, &mine);
    for (HWND sibling = GetWindow(control, GW_HWNDPREV); sibling; sibling = GetWindow(sibling, GW_HWNDPREV)) {
        RECT theirs, common;
        GetWindowRect(sibling, &theirs);
        if (IntersectRect(&common, &mine, &theirs)) return true;
    }
    return false;
}

}  // namespace

void RunOnWindowThread(HWND window, const std::function<void()>& work) {
    HWND root = window ? RootOf(window) : nullptr;
    if (!root) return;
    if (GetWindowThreadProcessId(root, nullptr) == GetCurrentThreadId()) {
        work();
        return;
    }
    SendMessageW(root, WM_QV_INVOKE, 0, reinterpret_cast<LPARAM>(&work));
}

void HandlePendingEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// --- Control ---------------------------------------------------------------

Text Control::GetText() const {
    Text text;
    OnControlThread(handle_, [&] {
        int length = GetWindowTextLengthW(handle_);
        std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
        int copied = GetWindowTextW(handle_, wide.data(), length + 1);
        wide.resize(static_cast<size_t>(copied > 0 ? copied : 0));
        text = WideToGbk(wide);
    });
    return text;
}

void Control::SetText(TextView text) const {
    std::wstring wide = GbkToWide(text);
    OnControlThread(handle_, [&] {
        SetWindowTextW(handle_, wide.c_str());
        if (ControlState* state = StateOf(handle_); state && state->kind == ControlKind::TransparentLabel) {
            RedrawTransparent(handle_);
        }
    });
}

bool Control::Disabled() const {
    bool disabled = false;
    OnControlThread(handle_, [&] { disabled = !IsWindowEnabled(handle_); });
    return disabled;
}

void Control::SetDisabled(bool disabled) const {
    OnControlThread(handle_, [&] { EnableWindow(handle_, !disabled); });
}

bool Control::Visible() const {
    bool visible = false;
    OnControlThread(handle_, [&] { visible = (GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE) != 0; });
    return visible;
}

void Control::SetVisible(bool visible) const {
    OnControlThread(handle_, [&] { ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE); });
}

Place Control::Position() const {
    Place place;
    OnControlThread(handle_, [&] {
        RECT rect;
        GetWindowRect(handle_, &rect);
        MapWindowPoints(nullptr, GetParent(handle_), reinterpret_cast<POINT*>(&rect), 2);
        place = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    });
    return place;
}

void Control::SetPosition(const Place& place) const {
    OnControlThread(handle_, [&] {
        MoveWindow(handle_, place.left, place.top, place.width, place.height, TRUE);
    });
}

void Control::SetLeft(int left) const {
    Place place = Position();
    place.left = left;
    SetPosition(place);
}

void Control::SetTop(int top) const {
    Place place = Position();
    place.top = top;
    SetPosition(place);
}

void Control::SetHeight(int height) const {
    Place place = Position();
    place.height = height;
    SetPosition(place);
}

COLORREF Control::BackColour() const {
    COLORREF colour = NoColour;
    OnControlThread(handle_, [&] {
        if (ControlState* state = StateOf(handle_)) colour = state->backColour;
    });
    return colour;
}

void Control::SetBackColour(COLORREF colour) const {
    OnControlThread(handle_, [&] {
        if (ControlState* state = StateOf(handle_)) {
            state->SetBackColour(colour);
            InvalidateRect(handle_, nullptr, TRUE);
        }
    });
}

int Control::CurrentPage() const {
    int page = -1;
    OnControlThread(handle_, [&] {
        if (ControlState* state = StateOf(handle_)) page = state->currentPage;
    });
    return page;
}

void Control::SetCurrentPage(int page) const {
    OnControlThread(handle_, [&] {
        ControlState* state = StateOf(handle_);
        if (!state || page < 0 || page >= static_cast<int>(state->pages.size())) return;
        for (size_t i = 0; i < state->pages.size(); ++i) {
            ShowWindow(state->pages[i], static_cast<int>(i) == page ? SW_SHOWNA : SW_HIDE);
        }
        state->currentPage = page;
        // Controls that lie on the window over the tab control stay on top of the page.
        RedrawWindow(GetParent(handle_), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    });
}

int Control::ProgressPosition() const {
    int position = 0;
    OnControlThread(handle_, [&] { position = static_cast<int>(SendMessageW(handle_, PBM_GETPOS, 0, 0)); });
    return position;
}

void Control::SetProgressPosition(int position) const {
    OnControlThread(handle_, [&] { SendMessageW(handle_, PBM_SETPOS, position, 0); });
}

void Control::Focus() const {
    OnControlThread(handle_, [&] { SetFocus(handle_); });
}

// --- Window ----------------------------------------------------------------

Control Window::operator[](TextView name) const {
    HWND found = nullptr;
    RunOnWindowThread(handle_, [&] {
        if (IsWindow(handle_)) found = FindControl(handle_, name);
    });
    return Control(found);
}

Text Window::Caption() const { return Control(handle_).GetText(); }

void Window::SetCaption(TextView caption) const { Control(handle_).SetText(caption); }

int Window::Width() const { return Control(handle_).Position().width; }

void Window::Focus() const {
    RunOnWindowThread(handle_, [&] {
        if (IsWindow(handle_)) SetForegroundWindow(handle_);
    });
}

void Window::Close() const {
    RunOnWindowThread(handle_, [&] {
        if (IsWindow(handle_)) PostMessageW(handle_, WM_CLOSE, 0, 0);
    });
}

// --- Loading ---------------------------------------------------------------

bool LoadWindow(const FormDef& form, std::vector<EventBinding> events, bool modal, HWND parent,
                Window* loaded) {
    RegisterClasses();
    auto state = std::make_unique<WindowState>();
    state->name = form.name;
    state->events = std::move(events);
    state->background = form.background;
    state->backgroundBrush = CreateSolidBrush(form.background);

    std::wstring caption = GbkToWide(form.caption);
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kFormClass, caption.c_str(),
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                  form.left, form.top, form.width, form.height, parent, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    WindowState* windowState = state.release();
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(windowState));
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont()), FALSE);
    Name(window, form.name);

    // Controls in form order: a container comes before what lies on it. A control that
    // overlaps one built before it in the same container is raised above it, so a
    // picture placed over the tab control shows on top of it; the rest keep form order,
    // which is also the order the Tab key follows.
    int id = 1000;
    for (const ControlDef& def : form.controls) {
        HWND container = window;
        if (!def.container.empty()) {
            container = FindControl(window, def.container);
            ControlState* holder = StateOf(container);
            if (holder && holder->kind == ControlKind::TabControl && def.page >= 0 &&
                def.page < static_cast<int>(holder->pages.size())) {
                container = holder->pages[static_cast<size_t>(def.page)];
            }
            if (!container) container = window;
        }
        HWND control = BuildControl(def, container, *windowState, id++);
        if (!control) continue;
        if (OverlapsEarlierSibling(control)) {
            SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        if (def.visible) ShowWindow(control, SW_SHOWNA);
    }

    Window handle(window);
    if (loaded) *loaded = handle;
    RunEvent(window, Event::Created, form.name);
    if (!IsWindow(window)) return true;  // the created handler closed it

    if (!modal) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        return true;
    }

    bool closed = false;
    windowState->closed = &closed;
    ThreadWindowsDisabled others(window);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message;
    while (!closed) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // leave the outer loop too
            if (IsWindow(window)) DestroyWindow(window);
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

// --- Modal helpers ---------------------------------------------------------

namespace {

struct DisableSearch {
    HWND keep;
    std::vector<HWND>* disabled;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<DisableSearch*>(lParam);
    if (window != search.keep && IsWindowVisible(window) && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        search.disabled->push_back(window);
    }
    return TRUE;
}

}  // namespace

ThreadWindowsDisabled::ThreadWindowsDisabled(HWND keep) {
    DisableSearch search{keep, &disabled_};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&search));
}

ThreadWindowsDisabled::~ThreadWindowsDisabled() {
    for (HWND window : disabled_) {
        if (IsWindow(window)) EnableWindow(window, TRUE);
    }
    if (!disabled_.empty() && IsWindow(disabled_.front())) SetActiveWindow(disabled_.front());
}
