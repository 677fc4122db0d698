#pragma once
// Registers one of the runtime's own window classes: arrow cursor, no background brush
// (each class paints its own), the program's icon where it has one.

#include <windows.h>

void RegisterRuntimeClass(const wchar_t* name, WNDPROC procedure);
