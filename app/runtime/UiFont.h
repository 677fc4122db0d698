#pragma once
// The one font every control of the program uses: a face that has Chinese glyphs,
// so the windows read right whatever the system's code page and default fonts are.

#include <windows.h>

HFONT UiFont();
