#pragma once
// The runtime's own progress bar. It answers the common control's PBM_SETRANGE32,
// PBM_SETPOS and PBM_GETPOS, but a new position only marks the bar for repainting:
// the system's control repaints at once, which under Wine costs a display round trip
// (several milliseconds) inside every position write of a download.

#include <windows.h>

// The registered class name; registers the class on first use.
const wchar_t* ProgressBarClass();
