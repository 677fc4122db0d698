#include "app/runtime/Threads.h"

#include <windows.h>

namespace {

DWORD WINAPI RunRoutine(LPVOID routine) {
    reinterpret_cast<void (*)()>(routine)();
    return 0;
}

}  // namespace

bool StartThread(void (*routine)()) {
    HANDLE thread = CreateThread(nullptr, 0, RunRoutine, reinterpret_cast<LPVOID>(routine), 0, nullptr);
    if (!thread) return false;
    CloseHandle(thread);
    return true;
}
