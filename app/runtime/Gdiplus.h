#pragma once
// GDI+ as the mingw headers offer it; they expect COM's object interfaces and the
// min/max templates to be declared first.

#include <windows.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
