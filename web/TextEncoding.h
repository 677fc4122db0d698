#pragma once
// Turning a UTF-8 response body into the program's own text (code page 936).

#include "app/runtime/Text.h"

// The UTF-8 bytes as GBK text, up to the first zero byte. Code page 936 is used
// whatever the system's ANSI code page is; what cannot be converted is replaced the
// way the platform's converters replace it, never reported as a failure.
Text Utf8ToGbkText(const Bytes& body);
