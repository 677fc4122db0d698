#pragma once
// The program's frame: the runtime's own start, the exit routine and the message loop.

#include "app/runtime/Form.h"

// Prepares the runtime on the user-interface thread: common controls, COM (OLE) for
// the shell dialogs, the runtime's window classes.
void InitialiseRuntime();

// The routine called once after the message loop has ended.
void RegisterExitRoutine(void (*routine)());

class Window;

// Loads the start-up window and runs the message loop until it closes; then calls the
// exit routine. `loaded` receives the window before its created handler runs. Returns
// the program's exit code.
int RunStartupWindow(const FormDef& form, std::vector<EventBinding> events, Window* loaded = nullptr);
