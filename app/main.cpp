#include "app/Startup.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int code = ProgramStart();
    // A download still running is not waited for: ending the process ends it, before
    // any library of the process is told that the process is going away.
    ExitProcess(static_cast<UINT>(code));
}
