#pragma once
// The procedural module loader: maps a DLL image held in memory and looks up its
// entries. A module is known only by its base address, and its mapped headers are its
// only record. It is invisible to the system (no module list entry, no thread
// notifications) and stays mapped until the process ends.

#include "memload/ImageMapping.h"

#include <cstdint>
#include <span>

// Maps `image` (a complete DLL file in its file layout) into a new region anywhere in
// the address space, relocates it, binds its imports (asking `resolver` first, when
// given, with `context`) and, for a DLL, calls its entry routine with (0,
// DLL_PROCESS_ATTACH, 0). Reads of the image and the module are guarded, and the
// resolver and the entry routine are only called at executable addresses.
// Answers the module's base, or 0 with nothing left allocated.
std::uintptr_t LoadMemoryModule(std::span<const std::uint8_t> image, ImportResolver resolver = nullptr,
                                std::uint32_t context = 0);

// An entry of a module mapped by LoadMemoryModule. `nameOrOrdinal` is an ordinal or the
// address of a zero-terminated name: a value that is not the address of 4 readable
// bytes - every value below 65,536 among them - is an ordinal. 0 when not found.
std::uintptr_t GetMemoryModuleEntry(std::uintptr_t base, std::uintptr_t nameOrOrdinal);
inline std::uintptr_t GetMemoryModuleEntry(std::uintptr_t base, const char* name) {
    return GetMemoryModuleEntry(base, reinterpret_cast<std::uintptr_t>(name));
}
