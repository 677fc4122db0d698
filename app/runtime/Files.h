#pragma once
// Writing files. Paths are GBK Text.

#include "app/runtime/Text.h"

// Creates the file or empties an existing one, then writes the bytes. Success or not.
bool WriteBytesToFile(TextView path, const Bytes& bytes);

// Writes the bytes to a new file beside `path`, then puts it in place of `path` in one
// step: a crash of the program or a full disk never leaves a truncated file under the
// final name, and a failure leaves an existing file as it was. Success or not.
bool ReplaceFileWithBytes(TextView path, const Bytes& bytes);
