#pragma once
// Maps a library image held in memory into a region of its own, in load order: validate,
// size, allocate, copy the headers and sections, relocate, bind the imports, call the
// entry routine. The procedural loader (MemoryModule.h) and the loader object
// (ModuleLoader.h) share this, each with its own rules.

#include "memload/ExportLookup.h"
#include "memload/ImageBytes.h"
#include "memload/PeHeaders.h"

#include <cstdint>
#include <span>

// Supplies the address for one import, or 0 to let GetProcAddress find it.
// `libraryName` is the importing descriptor's library name inside the mapped module;
// `entry` is the import's name, or for an import by ordinal the ordinal in decimal.
using ImportResolver = std::uintptr_t(__stdcall*)(const char* libraryName, const char* entry,
                                                  std::uint32_t context);

struct MappingRules {
    bool preferImageBase = false;  // ask for the region at ImageBase before anywhere else
    bool guardedAccess = true;     // IsBadReadPtr before reads, IsBadCodePtr before calls
};

// The module's base address, or 0 when the image cannot be mapped; nothing stays
// allocated on failure.
std::uintptr_t MapModuleImage(std::span<const std::uint8_t> image, ImportResolver resolver,
                              std::uint32_t context, const MappingRules& rules);

// Size of the committed region that begins at `base` (which must be the start of its
// allocation), 0 otherwise.
std::uint32_t MappedRegionSize(std::uintptr_t base);

// The same measure with a VirtualQuery the caller found itself.
using VirtualQueryRoutine = SIZE_T(WINAPI*)(LPCVOID, PMEMORY_BASIC_INFORMATION, SIZE_T);
std::uint32_t MappedRegionSize(std::uintptr_t base, VirtualQueryRoutine query);

// A view over a module mapped at `base` and its headers; false unless `base` is a
// positive address that begins a committed region carrying "MZ" and "PE\0\0" with the
// NT headers inside the region.
bool OpenMappedModule(std::uintptr_t base, bool guarded, ImageBytes& module, PeHeaders& headers);

// An entry of the module mapped at `base`, by ordinal or name; 0 when the module or the
// entry cannot be found.
std::uintptr_t FindModuleEntry(std::uintptr_t base, const EntryQuery& query, bool guarded);
