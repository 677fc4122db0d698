#pragma once
// The runtime's fatal error: shows the message, then ends the program.

#include "app/runtime/Text.h"

[[noreturn]] void FatalRuntimeError(TextView message);

// How the message is shown; the default is a message box. Tests that end a child
// process on purpose replace it so that nothing waits for a click.
using FatalErrorPresenter = void (*)(TextView message);
void SetFatalErrorPresenter(FatalErrorPresenter presenter);

// Exit code of a process ended by the fatal error.
inline constexpr unsigned FatalErrorExitCode = 3;
