#pragma once
// The compact module loader: a self-contained loader for DLL images held in memory
// that checks the image strictly, finds every system routine it needs at run time in
// the loaded kernel32.dll (never through the program's import table), passes the
// module's base to its entry routine, and can unload a module together with the
// libraries its imports loaded.

#include <cstdint>

// Supplies the address for one import, or 0 to let GetProcAddress find it. `entry` is
// the ordinal itself for an import by ordinal (then `isOrdinal` is 0x80000000), or the
// address of the zero-terminated name (then `isOrdinal` is 0). Standard call: the
// resolver removes its four arguments.
using CompactImportResolver = std::uintptr_t(__stdcall*)(const char* libraryName, std::uintptr_t entry,
                                                         std::uint32_t isOrdinal, std::uint32_t context);

// Maps the `size` bytes of the DLL file at `image`: at its ImageBase when that range is
// free, elsewhere otherwise. Answers the module's base, or 0 with nothing left
// allocated and every library it loaded released.
std::uintptr_t LoadCompactModule(const void* image, std::uint32_t size, CompactImportResolver resolver = nullptr,
                                 std::uint32_t context = 0);

// An entry of a module mapped by LoadCompactModule: `nameOrOrdinal` is an ordinal when
// it lies in the export table's range, else the address of a zero-terminated name.
// Small values that are not valid ordinals are never read as addresses: 0 below 65,536.
std::uintptr_t GetCompactModuleEntry(std::uintptr_t base, std::uintptr_t nameOrOrdinal);
inline std::uintptr_t GetCompactModuleEntry(std::uintptr_t base, const char* name) {
    return GetCompactModuleEntry(base, reinterpret_cast<std::uintptr_t>(name));
}

// Calls the entry routine with DLL_PROCESS_DETACH, releases every library the module's
// imports loaded, then its region. A base of 0 does nothing.
void FreeCompactModule(std::uintptr_t base);

// A routine exported by name by the loaded kernel32.dll, found through the process's
// own module list; 0 when not found.
std::uintptr_t FindSystemRoutine(const char* name);
