#pragma once
// Base relocation of a mapped module, shared by the loaders.

#include "memload/ImageBytes.h"

#include <cstdint>

// Adds `delta` to every 32-bit value that an IMAGE_REL_BASED_HIGHLOW entry names; other
// entry types (such as the IMAGE_REL_BASED_ABSOLUTE filler) change nothing. `module` is
// the whole mapped region at `base`. The walk ends at a block whose VirtualAddress is 0
// or at the end of the directory. False when the directory, a block or a target does not
// lie inside the region - including a block too small to move the walk on.
bool ApplyRelocations(std::uint8_t* base, const ImageBytes& module, std::uint32_t directory,
                      std::uint32_t directorySize, std::uint32_t delta);
