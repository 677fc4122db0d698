#include "memload/CompactModule.h"

#include "memload/ExportLookup.h"
#include "memload/ImageMapping.h"
#include "memload/ImageBytes.h"
#include "memload/PeHeaders.h"
#include "memload/Relocation.h"
#include "memload/RoutineCall.h"

#include <windows.h>

#include <cstring>

namespace {

// The system routines, with their calling convention written out; each is located
// afresh through FindSystemRoutine wherever it is used.
using VirtualAllocRoutine = LPVOID(WINAPI*)(LPVOID, SIZE_T, DWORD, DWORD);
using VirtualFreeRoutine = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD);
using LoadLibraryRoutine = HMODULE(WINAPI*)(LPCSTR);
using FreeLibraryRoutine = BOOL(WINAPI*)(HMODULE);
using GetProcAddressRoutine = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using GetModuleHandleRoutine = HMODULE(WINAPI*)(LPCSTR);

template <typename Routine>
Routine SystemRoutine(const char* name) {
    return reinterpret_cast<Routine>(FindSystemRoutine(name));
}

// The loader's own view of the process's module list (32-bit layouts).
struct ListEntry {
    ListEntry* next;
    ListEntry* previous;
};
struct CountedWideText {
    std::uint16_t length;  // in bytes
    std::uint16_t capacity;
    const wchar_t* buffer;
};
struct LoaderData {
    std::uint32_t length;
    std::uint32_t initialized;
    void* ssHandle;
    ListEntry inLoadOrder;
    ListEntry inMemoryOrder;
};
struct LoaderEntry {
    ListEntry inLoadOrder;
    ListEntry inMemoryOrder;
    ListEntry inInitializationOrder;
    void* dllBase;
    void* entryPoint;
    std::uint32_t sizeOfImage;
    CountedWideText fullDllName;
    CountedWideText baseDllName;
};
static_assert(offsetof(LoaderData, inMemoryOrder) == 0x14);
static_assert(offsetof(LoaderEntry, dllBase) == 0x18 && offsetof(LoaderEntry, baseDllName) == 0x2C);

bool IsKernel32(const CountedWideText& name) {
    static constexpr wchar_t wanted[] = L"kernel32.dll";
    constexpr std::uint16_t wantedLength = (sizeof wanted / sizeof wanted[0] - 1) * 2;
    if (name.length != wantedLength) return false;
    for (std::uint16_t i = 0; i < wantedLength / 2; ++i) {
        wchar_t c = name.buffer[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != wanted[i]) return false;
    }
    return true;
}

// The first readable export directory of a mapped module, as a bounded view.
bool OpenExports(const ImageBytes& module, std::uint32_t& directory, std::uint32_t& directorySize) {
    const std::uint32_t ntOffset = module.U32(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!module.Contains(ntOffset, pe::NtHeadersSize)) return false;
    const PeHeaders headers = ReadPeHeaders(module, ntOffset, false);
    directory = DirectoryAddress(module, headers, pe::ExportDirectory);
    directorySize = DirectorySize(module, headers, pe::ExportDirectory);
    return directorySize != 0;
}

// GetCompactModuleEntry's rule: an ordinal when it falls inside the table, else a name
// address - but never a small number, which cannot be one.
std::uintptr_t LookupCompactEntry(const ImageBytes& module, std::uintptr_t nameOrOrdinal) {
    std::uint32_t directory = 0, directorySize = 0;
    if (!OpenExports(module, directory, directorySize)) return 0;
    const ExportTableSpan table = ReadExportTableSpan(module, directory);
    EntryQuery query;
    if (static_cast<std::uint32_t>(nameOrOrdinal) - table.base < table.numberOfFunctions) {
        query.byOrdinal = true;
        query.ordinal = static_cast<std::uint32_t>(nameOrOrdinal);
    } else if (nameOrOrdinal < 0x10000) {
        return 0;
    } else {
        query.name = reinterpret_cast<const char*>(nameOrOrdinal);
    }
    return LookupExport(module, directory, directorySize, query);
}

// Size of the committed region at `base`, measured with VirtualQuery found at run time.
std::uint32_t CompactRegionSize(std::uintptr_t base) {
    return MappedRegionSize(base, SystemRoutine<VirtualQueryRoutine>("VirtualQuery"));
}

// A plain loop, kept from becoming a memcpy call, so that the loader needs nothing
// from the C runtime either.
__attribute__((optimize("no-tree-loop-distribute-patterns")))
void CopyBytes(std::uint8_t* target, const std::uint8_t* source, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) target[i] = source[i];
}

bool ValidateCompactImage(const ImageBytes& image, PeHeaders& headers) {
    if (image.Data() == nullptr || image.Size() < pe::DosHeaderSize) return false;
    if (image.U16(0) != IMAGE_DOS_SIGNATURE) return false;
    const std::uint32_t ntOffset = image.U32(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!image.Contains(ntOffset, pe::NtHeadersSize)) return false;
    headers = ReadPeHeaders(image, ntOffset, true);
    if (image.U32(ntOffset + pe::SignatureAt) != IMAGE_NT_SIGNATURE) return false;
    if (headers.machine != IMAGE_FILE_MACHINE_I386 || !headers.IsExecutable()) return false;
    if (headers.sizeOfOptionalHeader < pe::StandardOptionalHeaderSize) return false;
    // The headers, section table included, must lie inside the image before any of it is read.
    if (!image.Contains(0, headers.headersSize)) return false;
    for (std::uint32_t i = 0; i < headers.numberOfSections; ++i) {
        const std::uint32_t at = headers.sectionTable + i * pe::SectionHeaderSize;
        if (!image.Contains(image.U32(at + pe::PointerToRawDataAt), image.U32(at + pe::SizeOfRawDataAt))) {
            return false;
        }
    }
    return true;
}

// Releases the libraries of the first `count` import descriptors (all of them for
// UINT32_MAX), stopping at a descriptor without a name or outside the region.
void ReleaseImportedLibraries(const ImageBytes& module, std::uint32_t directory, std::uint32_t count) {
    const auto freeLibrary = SystemRoutine<FreeLibraryRoutine>("FreeLibrary");
    const auto getModuleHandle = SystemRoutine<GetModuleHandleRoutine>("GetModuleHandleA");
    if (freeLibrary == nullptr || getModuleHandle == nullptr) return;
    std::uint32_t descriptor = directory;
    for (std::uint32_t i = 0; i < count; ++i, descriptor += pe::ImportDescriptorSize) {
        if (!module.Contains(descriptor, pe::ImportDescriptorSize)) return;
        const std::uint32_t nameAt = module.U32(descriptor + pe::ImportNameAt);
        if (nameAt == 0 || !module.HasText(nameAt)) return;
        if (const HMODULE library = getModuleHandle(module.TextAt(nameAt))) freeLibrary(library);
    }
}

enum class Binding { Bound, Failed };

// Binds the imports; on failure the libraries loaded so far have been released again.
Binding BindCompactImports(std::uint8_t* base, const ImageBytes& module, const PeHeaders& headers,
                           CompactImportResolver resolver, std::uint32_t context) {
    const auto loadLibrary = SystemRoutine<LoadLibraryRoutine>("LoadLibraryA");
    const auto getProcAddress = SystemRoutine<GetProcAddressRoutine>("GetProcAddress");
    if (loadLibrary == nullptr || getProcAddress == nullptr || FindSystemRoutine("FreeLibrary") == 0 ||
        FindSystemRoutine("GetModuleHandleA") == 0) {
        return Binding::Failed;
    }
    if (DirectorySize(module, headers, pe::ImportDirectory) == 0) return Binding::Bound;
    const std::uint32_t directory = DirectoryAddress(module, headers, pe::ImportDirectory);

    std::uint32_t index = 0;
    for (std::uint32_t descriptor = directory;; descriptor += pe::ImportDescriptorSize, ++index) {
        // Fails after `loaded` descriptors have had their libraries loaded.
        auto fail = [&](std::uint32_t loaded) {
            ReleaseImportedLibraries(module, directory, loaded);
            return Binding::Failed;
        };
        if (!module.Contains(descriptor, pe::ImportDescriptorSize)) return fail(index);
        const std::uint32_t nameAt = module.U32(descriptor + pe::ImportNameAt);
        if (nameAt == 0) return Binding::Bound;
        if (!module.HasText(nameAt)) return fail(index);
        const char* libraryName = module.TextAt(nameAt);
        const HMODULE library = loadLibrary(libraryName);

        const std::uint32_t original = module.U32(descriptor + pe::OriginalFirstThunkAt);
        const std::uint32_t table = module.U32(descriptor + pe::FirstThunkAt);
        const std::uint32_t names = original != 0 ? original : table;
        for (std::uint32_t i = 0;; ++i) {
            const std::uint64_t from = std::uint64_t{names} + i * 4;
            const std::uint64_t to = std::uint64_t{table} + i * 4;
            if (from + 4 > module.Size() || to + 4 > module.Size()) return fail(index + 1);
            const std::uint32_t thunk = module.U32(static_cast<std::uint32_t>(from));
            if (thunk == 0) break;
            std::uintptr_t entry;
            std::uint32_t isOrdinal;
            LPCSTR lookup;
            if (IMAGE_SNAP_BY_ORDINAL32(thunk)) {
                entry = IMAGE_ORDINAL32(thunk);
                isOrdinal = IMAGE_ORDINAL_FLAG32;
                lookup = MAKEINTRESOURCEA(entry);
            } else {
                if (thunk > UINT32_MAX - 2 || !module.HasText(thunk + 2)) return fail(index + 1);
                entry = reinterpret_cast<std::uintptr_t>(base) + thunk + 2;
                isOrdinal = 0;
                lookup = reinterpret_cast<LPCSTR>(entry);
            }
            std::uintptr_t address = 0;
            if (resolver != nullptr) {
                address = CallRoutine(reinterpret_cast<std::uintptr_t>(resolver),
                                      {reinterpret_cast<std::uint32_t>(libraryName), entry, isOrdinal, context});
            }
            // A library that did not load, or ordinal 0, has nothing to look up.
            if (address == 0 && library != nullptr && (isOrdinal == 0 || entry != 0)) {
                address = reinterpret_cast<std::uintptr_t>(getProcAddress(library, lookup));
            }
            if (address == 0) return fail(index + 1);
            const auto value = static_cast<std::uint32_t>(address);
            std::memcpy(base + to, &value, 4);
        }
    }
}

void ReleaseRegion(void* base) {
    if (const auto virtualFree = SystemRoutine<VirtualFreeRoutine>("VirtualFree")) virtualFree(base, 0, MEM_RELEASE);
}

}  // namespace

std::uintptr_t FindSystemRoutine(const char* name) {
    if (name == nullptr) return 0;
    // The thread's environment block holds the process environment block at fs:0x30;
    // that holds the loader data at 0x0C, with the modules in memory order.
    const std::uint8_t* peb;
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    const auto* loaderData = *reinterpret_cast<const LoaderData* const*>(peb + 0x0C);
    if (loaderData == nullptr) return 0;
    const ListEntry* head = &loaderData->inMemoryOrder;
    for (const ListEntry* link = head->next; link != nullptr && link != head; link = link->next) {
        const auto* entry = reinterpret_cast<const LoaderEntry*>(reinterpret_cast<const std::uint8_t*>(link) -
                                                                 offsetof(LoaderEntry, inMemoryOrder));
        if (entry->baseDllName.buffer == nullptr) return 0;
        if (!IsKernel32(entry->baseDllName)) continue;
        const ImageBytes module(entry->dllBase, entry->sizeOfImage, false);
        std::uint32_t directory = 0, directorySize = 0;
        if (!OpenExports(module, directory, directorySize)) return 0;
        EntryQuery query;
        query.name = name;
        return LookupExport(module, directory, directorySize, query);
    }
    return 0;
}

std::uintptr_t LoadCompactModule(const void* image, std::uint32_t size, CompactImportResolver resolver,
                                 std::uint32_t context) {
    const ImageBytes file(image, image == nullptr ? 0 : size, false);
    PeHeaders headers;
    if (!ValidateCompactImage(file, headers)) return 0;
    const std::uint32_t regionSize = MappedImageSize(file, headers);
    if (regionSize == 0 || headers.headersSize > regionSize) return 0;

    const auto virtualAlloc = SystemRoutine<VirtualAllocRoutine>("VirtualAlloc");
    if (virtualAlloc == nullptr) return 0;
    void* region = virtualAlloc(reinterpret_cast<void*>(static_cast<std::uintptr_t>(headers.imageBase)), regionSize,
                                MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    if (region == nullptr) region = virtualAlloc(nullptr, regionSize, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    if (region == nullptr) return 0;
    auto* base = static_cast<std::uint8_t*>(region);

    CopyBytes(base, file.Data(), headers.headersSize);
    for (std::uint32_t i = 0; i < headers.numberOfSections; ++i) {
        const std::uint32_t at = headers.sectionTable + i * pe::SectionHeaderSize;
        const std::uint32_t address = file.U32(at + pe::VirtualAddressAt);
        const std::uint32_t rawSize = file.U32(at + pe::SizeOfRawDataAt);
        if (rawSize == 0 || address == 0 || address > regionSize || rawSize > regionSize - address) continue;
        CopyBytes(base + address, file.Data() + file.U32(at + pe::PointerToRawDataAt), rawSize);
    }

    const ImageBytes module(base, regionSize, false);
    const std::uint32_t relocationSize = DirectorySize(module, headers, pe::RelocationDirectory);
    const std::uint32_t delta = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(base)) - headers.imageBase;
    if (relocationSize != 0 &&
        !ApplyRelocations(base, module, DirectoryAddress(module, headers, pe::RelocationDirectory), relocationSize,
                          delta)) {
        ReleaseRegion(region);
        return 0;
    }
    if (BindCompactImports(base, module, headers, resolver, context) == Binding::Failed) {
        ReleaseRegion(region);
        return 0;
    }

    if (!headers.IsDll() || headers.addressOfEntryPoint == 0) return reinterpret_cast<std::uintptr_t>(base);
    const auto moduleBase = reinterpret_cast<std::uintptr_t>(base);
    // An entry point outside the region is never called; the module is refused.
    const bool entryInside = headers.addressOfEntryPoint < regionSize;
    if (entryInside) {
        const std::uintptr_t entry = moduleBase + headers.addressOfEntryPoint;
        const auto handle = static_cast<std::uint32_t>(moduleBase);
        if (CallRoutine(entry, {handle, DLL_PROCESS_ATTACH, 0}) != 0) return moduleBase;
        CallRoutine(entry, {handle, DLL_PROCESS_DETACH, 0});
    }
    if (DirectorySize(module, headers, pe::ImportDirectory) != 0) {
        ReleaseImportedLibraries(module, DirectoryAddress(module, headers, pe::ImportDirectory), UINT32_MAX);
    }
    ReleaseRegion(region);
    return 0;
}

std::uintptr_t GetCompactModuleEntry(std::uintptr_t base, std::uintptr_t nameOrOrdinal) {
    if (base == 0 || nameOrOrdinal == 0) return 0;
    const std::uint32_t size = CompactRegionSize(base);
    if (size < pe::DosHeaderSize) return 0;
    return LookupCompactEntry(ImageBytes(reinterpret_cast<const void*>(base), size, false), nameOrOrdinal);
}

void FreeCompactModule(std::uintptr_t base) {
    if (base == 0) return;
    const std::uint32_t size = CompactRegionSize(base);
    if (size < pe::DosHeaderSize) return;
    const ImageBytes module(reinterpret_cast<const void*>(base), size, false);
    const std::uint32_t ntOffset = module.U32(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!module.Contains(ntOffset, pe::NtHeadersSize)) return;
    const PeHeaders headers = ReadPeHeaders(module, ntOffset, true);
    if (headers.IsDll() && headers.addressOfEntryPoint != 0 && headers.addressOfEntryPoint < size) {
        CallRoutine(base + headers.addressOfEntryPoint, {static_cast<std::uint32_t>(base), DLL_PROCESS_DETACH, 0});
    }
    if (DirectorySize(module, headers, pe::ImportDirectory) != 0) {
        ReleaseImportedLibraries(module, DirectoryAddress(module, headers, pe::ImportDirectory), UINT32_MAX);
    }
    ReleaseRegion(reinterpret_cast<void*>(base));
}
