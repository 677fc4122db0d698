#pragma once
// Data resources embedded in the program (RCDATA), by numeric id.

#include "app/runtime/Text.h"

#include <string_view>

// A view of the resource's bytes, which live as long as the program; empty when absent.
std::basic_string_view<std::uint8_t> ResourceBytes(int id);
