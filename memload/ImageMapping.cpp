#include "memload/ImageMapping.h"

#include "memload/Relocation.h"
#include "memload/RoutineCall.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// Owns a region until the load succeeds; every failure path releases it.
class RegionOwner {
public:
    explicit RegionOwner(void* base) : base_(base) {}
    RegionOwner(const RegionOwner&) = delete;
    RegionOwner& operator=(const RegionOwner&) = delete;
    ~RegionOwner() {
        if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
    }
    std::uint8_t* Get() const { return static_cast<std::uint8_t*>(base_); }
    std::uintptr_t Keep() {
        const auto base = reinterpret_cast<std::uintptr_t>(base_);
        base_ = nullptr;
        return base;
    }

private:
    void* base_;
};

bool ValidateImage(const ImageBytes& image, PeHeaders& headers) {
    if (image.Size() < pe::DosHeaderSize) return false;
    if (image.U16(0) != IMAGE_DOS_SIGNATURE) return false;
    const std::uint32_t ntOffset = image.U32(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!image.Contains(ntOffset, pe::NtHeadersSize)) return false;
    if (image.U32(ntOffset + pe::SignatureAt) != IMAGE_NT_SIGNATURE) return false;
    headers = ReadPeHeaders(image, ntOffset, false);
    if (!headers.IsExecutable()) return false;
    return image.Contains(0, headers.headersSize);
}

void* AllocateRegion(std::uint32_t size, std::uint32_t imageBase, bool preferImageBase) {
    void* region = nullptr;
    if (preferImageBase && imageBase != 0) {
        region = VirtualAlloc(reinterpret_cast<void*>(static_cast<std::uintptr_t>(imageBase)), size,
                              MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    }
    if (region == nullptr) region = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
    return region;
}

// The copied headers are the module's only record, so they must fit in the region.
bool CopyHeaders(std::uint8_t* base, std::uint32_t regionSize, const ImageBytes& image,
                 const PeHeaders& headers) {
    if (headers.headersSize > regionSize) return false;
    if (image.Readable(0, headers.headersSize)) std::memcpy(base, image.Data(), headers.headersSize);
    return true;
}

// Raw data that does not lie (readable) inside the image leaves its section zero-filled.
void CopySections(std::uint8_t* base, std::uint32_t regionSize, const ImageBytes& image,
                  const PeHeaders& headers) {
    for (std::uint32_t i = 0; i < headers.numberOfSections; ++i) {
        const std::uint32_t at = headers.sectionTable + i * pe::SectionHeaderSize;
        const std::uint32_t address = image.U32(at + pe::VirtualAddressAt);
        const std::uint32_t rawSize = image.U32(at + pe::SizeOfRawDataAt);
        const std::uint32_t rawOffset = image.U32(at + pe::PointerToRawDataAt);
        if (rawSize == 0 || address == 0) continue;
        if (address > regionSize || rawSize > regionSize - address) continue;
        if (!image.Readable(rawOffset, rawSize)) continue;
        std::memcpy(base + address, image.Data() + rawOffset, rawSize);
    }
}

std::uintptr_t CallAs(bool guarded, std::uintptr_t address, std::initializer_list<std::uint32_t> arguments) {
    return guarded ? GuardedCall(address, arguments) : CallRoutine(address, arguments);
}

// Binds every import through the import address table at FirstThunk. Descriptors,
// thunks and names must lie inside the region; the libraries loaded on the way stay
// loaded whatever happens.
bool BindImports(std::uint8_t* base, const ImageBytes& module, std::uint32_t directory,
                 ImportResolver resolver, std::uint32_t context, bool guarded) {
    for (std::uint32_t descriptor = directory;; descriptor += pe::ImportDescriptorSize) {
        if (!module.Contains(descriptor, pe::ImportDescriptorSize)) return false;
        const std::uint32_t table = module.U32(descriptor + pe::FirstThunkAt);
        if (table == 0) return true;
        const std::uint32_t nameAt = module.U32(descriptor + pe::ImportNameAt);
        if (!module.HasText(nameAt)) return false;
        const char* libraryName = module.TextAt(nameAt);
        // Not tested: a library that cannot be loaded simply supplies nothing below.
        const HMODULE library = LoadLibraryA(libraryName);

        for (std::uint32_t slot = table;; slot += 4) {
            if (!module.Contains(slot, 4)) return false;
            const std::uint32_t thunk = module.U32(slot);
            if (thunk == 0) break;
            char ordinalText[12];
            const char* entry;
            LPCSTR lookup;
            bool lookupPossible = library != nullptr;
            if (IMAGE_SNAP_BY_ORDINAL32(thunk)) {
                const std::uint32_t ordinal = IMAGE_ORDINAL32(thunk);
                std::snprintf(ordinalText, sizeof ordinalText, "%u", static_cast<unsigned>(ordinal));
                entry = ordinalText;
                lookup = MAKEINTRESOURCEA(ordinal);
                lookupPossible = lookupPossible && ordinal != 0;
            } else {
                if (thunk > UINT32_MAX - 2 || !module.HasText(thunk + 2)) return false;
                entry = module.TextAt(thunk + 2);
                lookup = entry;
            }
            std::uintptr_t address = 0;
            if (resolver != nullptr) {
                address = CallAs(guarded, reinterpret_cast<std::uintptr_t>(resolver),
                                 {reinterpret_cast<std::uint32_t>(libraryName),
                                  reinterpret_cast<std::uint32_t>(entry), context});
            }
            if (address == 0 && lookupPossible) {
                address = reinterpret_cast<std::uintptr_t>(GetProcAddress(library, lookup));
            }
            if (address == 0) return false;
            const auto value = static_cast<std::uint32_t>(address);
            std::memcpy(base + slot, &value, 4);
        }
    }
}

}  // namespace

std::uintptr_t MapModuleImage(std::span<const std::uint8_t> image, ImportResolver resolver,
                              std::uint32_t context, const MappingRules& rules) {
    if (image.data() == nullptr || image.size() > UINT32_MAX) return 0;
    const ImageBytes file(image.data(), static_cast<std::uint32_t>(image.size()), rules.guardedAccess);
    PeHeaders headers;
    if (!ValidateImage(file, headers)) return 0;

    const std::uint32_t regionSize = MappedImageSize(file, headers);
    if (regionSize == 0) return 0;
    RegionOwner region(AllocateRegion(regionSize, headers.imageBase, rules.preferImageBase));
    if (region.Get() == nullptr) return 0;
    std::uint8_t* base = region.Get();

    if (!CopyHeaders(base, regionSize, file, headers)) return 0;
    CopySections(base, regionSize, file, headers);

    // From here on the module is read where it lies, through its copied headers.
    const ImageBytes module(base, regionSize, rules.guardedAccess);
    if (DirectorySize(module, headers, pe::RelocationDirectory) > 0) {
        const std::uint32_t delta = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(base)) -
                                    headers.imageBase;
        if (!ApplyRelocations(base, module, DirectoryAddress(module, headers, pe::RelocationDirectory),
                              DirectorySize(module, headers, pe::RelocationDirectory), delta)) {
            return 0;
        }
    }
    const std::uint32_t imports = DirectoryAddress(module, headers, pe::ImportDirectory);
    if (imports > 0 && !BindImports(base, module, imports, resolver, context, rules.guardedAccess)) return 0;

    if (!headers.IsDll() || headers.addressOfEntryPoint == 0) return region.Keep();
    // An entry point outside the region is never called: the load fails as if the
    // routine had refused to start.
    if (headers.addressOfEntryPoint >= regionSize) return 0;
    const auto entry = reinterpret_cast<std::uintptr_t>(base) + headers.addressOfEntryPoint;
    if (CallAs(rules.guardedAccess, entry, {0, DLL_PROCESS_ATTACH, 0}) != 0) return region.Keep();
    CallAs(rules.guardedAccess, entry, {0, DLL_PROCESS_DETACH, 0});
    return 0;
}

std::uint32_t MappedRegionSize(std::uintptr_t base) { return MappedRegionSize(base, VirtualQuery); }

std::uint32_t MappedRegionSize(std::uintptr_t base, VirtualQueryRoutine query) {
    if (query == nullptr) return 0;
    std::uint64_t total = 0;
    std::uintptr_t at = base;
    MEMORY_BASIC_INFORMATION info;
    while (query(reinterpret_cast<void*>(at), &info, sizeof info) == sizeof info &&
           info.AllocationBase == reinterpret_cast<void*>(base) && info.State == MEM_COMMIT &&
           (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) == 0) {
        total += info.RegionSize;
        at += info.RegionSize;
        if (total >= pe::LargestRegion) break;
    }
    return static_cast<std::uint32_t>(total);
}

bool OpenMappedModule(std::uintptr_t base, bool guarded, ImageBytes& module, PeHeaders& headers) {
    if (base == 0 || static_cast<std::int32_t>(base) < 0) return false;
    const std::uint32_t size = MappedRegionSize(base);
    if (size < pe::DosHeaderSize) return false;
    module = ImageBytes(reinterpret_cast<const void*>(base), size, guarded);
    if (module.U16(0) != IMAGE_DOS_SIGNATURE) return false;
    const std::uint32_t ntOffset = module.U32(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!module.Contains(ntOffset, pe::NtHeadersSize)) return false;
    if (module.U32(ntOffset + pe::SignatureAt) != IMAGE_NT_SIGNATURE) return false;
    headers = ReadPeHeaders(module, ntOffset, false);
    return true;
}

std::uintptr_t FindModuleEntry(std::uintptr_t base, const EntryQuery& query, bool guarded) {
    ImageBytes module(nullptr, 0, guarded);
    PeHeaders headers;
    if (!OpenMappedModule(base, guarded, module, headers)) return 0;
    const std::uint32_t directorySize = DirectorySize(module, headers, pe::ExportDirectory);
    if (directorySize == 0) return 0;
    return LookupExport(module, DirectoryAddress(module, headers, pe::ExportDirectory), directorySize, query);
}
