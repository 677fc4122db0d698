#pragma once
// The program's process-wide state. All of it starts out empty; start-up creates it
// in a fixed order and the exit routine releases it.

#include "app/runtime/TextList.h"
#include "app/runtime/Window.h"

#include <cstdint>

// The folder the download worker saves pictures into; the desktop directory (with its
// trailing backslash) from the moment the main window exists.
extern Text SaveFolder;

// Absolute addresses of the pictures of the post last discovered, in page order.
extern TextList PictureList;

// GDI+ start-up tokens; GDI+ is never shut down.
extern std::uintptr_t GdiplusTokenA;
extern std::uintptr_t GdiplusTokenB;

// The main window while it is loaded.
extern Window MainWindow;
