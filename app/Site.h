#pragma once
// The community site whose posts the program saves.

#include "app/runtime/Text.h"

// An address names the site when it contains this text anywhere, letter case and all.
inline const Text SiteDomain = "pixwharf.com";
