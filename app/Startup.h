#pragma once
// Start-up and exit, in their fixed order.

// The program's entry routine: creates the global state, starts the services the
// windows need, opens the main window and runs the message loop. Returns 0 when the
// loop has ended (the exit routine has run by then).
int ProgramStart();

void CreateGlobals();
void ProgramExit();

void StartGdiplusA();
void StartGdiplusB();
void StartWinsock();
