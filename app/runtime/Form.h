#pragma once
// Forms as data: a window and its controls, each with its kind, name, place and size
// in pixels, initial text, colours and contents. The runtime builds windows from them.

#include "app/runtime/Text.h"

#include <windows.h>

#include <array>
#include <functional>
#include <vector>

enum class ControlKind {
    EditBox,
    Label,
    TransparentLabel,  // text drawn straight onto whatever lies behind it
    Button,
    PictureButton,     // a button drawn with three state pictures: normal, hot, pressed
    TabControl,        // pages that the program switches; only the current page shows
    ProgressBar,
    PictureBox,        // a PNG fitted into its box; may hold other controls
    ShapeBox,          // a plain filled panel; may hold other controls
};

inline constexpr COLORREF NoColour = 0xFFFFFFFF;  // the same value as CLR_NONE

struct ControlDef {
    ControlKind kind = ControlKind::Label;
    Text name;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    Text text;
    // The control it lies on; empty for the window itself. On a tab control, `page`
    // names the page (0-based) and the place is relative to the tab control.
    Text container;
    int page = -1;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF backColour = NoColour;    // NoColour: the container's background shows
    std::vector<Text> pages;           // tab control: the page names, in order
    int picture = 0;                   // picture box: resource id of its PNG; 0 for none
    std::array<int, 3> statePictures{};  // picture button: normal, hot and pressed PNGs
    int rangeMin = 0;                  // progress bar
    int rangeMax = 100;
    int position = 0;
    bool multiline = false;            // edit box: several lines; label: wrapped text
    bool readOnly = false;
    bool visible = true;
    bool disabled = false;
    bool border = false;               // picture box and shape box: a one-pixel frame
};

struct FormDef {
    Text name;
    Text caption;
    int left = 0;
    int top = 0;
    int width = 0;   // outer size of the window, frame and caption included
    int height = 0;
    COLORREF background = RGB(255, 255, 255);
    std::vector<ControlDef> controls;
};

enum class Event { Created, Clicked, TextChanged };

// Binds a handler to one event of one control (the window's own name, or an empty
// name, for the window's events). Handlers run on the user-interface thread.
struct EventBinding {
    Event event;
    Text control;
    std::function<void()> handler;
};
