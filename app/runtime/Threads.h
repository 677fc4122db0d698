#pragma once
// Starts a thread that runs a routine without argument; the handle is closed at once.
// Returns whether the thread started.
bool StartThread(void (*routine)());
