#pragma once
// What the runtime asks of the system shell.

#include "app/runtime/Text.h"

#include <windows.h>

// A message box; returns the button pressed (IDOK, IDYES, ...).
int ShowMessageBox(TextView text, TextView caption, UINT style, HWND owner = nullptr);

// The folder dialog: the chosen path, or empty when cancelled. The program's other
// windows are disabled while it is open.
Text ChooseFolder(TextView title);

// The desktop directory, a full path ending with a backslash.
Text DesktopDirectory();

// Hands an address to the system's default handler; does not wait for it.
void OpenAddress(TextView address);

// Plays a WAVE sound held in memory, without waiting for it to end.
void PlaySoundBytes(const Bytes& sound);
