#include "app/runtime/FatalError.h"

#include "app/Strings.h"

#include <windows.h>

namespace {

void ShowInMessageBox(TextView message) {
    std::wstring text = GbkToWide(message);
    std::wstring caption = GbkToWide(Strings::FatalErrorCaption);
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

FatalErrorPresenter presenter = ShowInMessageBox;

}  // namespace

void SetFatalErrorPresenter(FatalErrorPresenter newPresenter) {
    presenter = newPresenter ? newPresenter : ShowInMessageBox;
}

void FatalRuntimeError(TextView message) {
    presenter(message);
    ExitProcess(FatalErrorExitCode);
}
