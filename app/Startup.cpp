#include "app/Startup.h"

#include "app/Globals.h"
#include "app/MainWindow.h"
#include "app/runtime/Program.h"
#include "memload/EmbeddedModules.h"
#include "web/ResponseDecoder.h"

#include <winsock2.h>
#include <windows.h>

#include "app/runtime/Gdiplus.h"

namespace {

void StartGdiplusInto(std::uintptr_t& token) {
    // GDI+ version 1, no debug callback, its background thread and external codecs on.
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR started = 0;
    if (Gdiplus::GdiplusStartup(&started, &input, nullptr) == Gdiplus::Ok) token = started;
}

}  // namespace

void CreateGlobals() {
    // The skin library object and the two shadow pictures are created first, here,
    // once the window-appearance work provides them.
    PictureList.Clear();
    // Maps the carried zlib image; a decoder that could not map it is simply not ready,
    // and pages then come back as the server sent them.
    TheResponseDecoder = new ResponseDecoder;
    TheResponseDecoder->InitialiseDecoder();
}

void StartGdiplusA() { StartGdiplusInto(GdiplusTokenA); }

void StartGdiplusB() {
    if (GdiplusTokenB == 0) StartGdiplusInto(GdiplusTokenB);
}

void StartWinsock() {
    WSADATA description;
    WSAStartup(MAKEWORD(2, 2), &description);
}

void ProgramExit() {
    SaveFolder.clear();
    SaveFolder.shrink_to_fit();
    PictureList.Clear();
    if (TheResponseDecoder) {
        TheResponseDecoder->Destroy();  // unmaps the zlib image
        delete TheResponseDecoder;
        TheResponseDecoder = nullptr;
    }
}

int ProgramStart() {
    InitialiseRuntime();
    CreateGlobals();
    RegisterExitRoutine(ProgramExit);
    StartGdiplusA();
    StartGdiplusB();
    // The skin engine image is loaded into the skin library here.
    StartWinsock();
    MapTcpLibrary();
    return RunStartupWindow(MainWindowForm(), MainWindowEvents(), &MainWindow);
}
