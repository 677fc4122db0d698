#include "memload/ModuleLoader.h"

#include "memload/RoutineCall.h"

#include <windows.h>

void ModuleLoader::Destroy() {}

ModuleLoader* ModuleLoader::Duplicate() const { return new ModuleLoader(*this); }

bool ModuleLoader::Load(std::span<const std::uint8_t> image, ImportResolver resolver, std::uint32_t context) {
    // A module that cannot be unloaded is abandoned, still mapped.
    if (handle != 0) Unload();
    handle = static_cast<std::uint32_t>(
        MapModuleImage(image, resolver, context, MappingRules{.preferImageBase = true, .guardedAccess = false}));
    return handle != 0;
}

bool ModuleLoader::Unload() {
    if (handle == 0) return true;
    ImageBytes module(nullptr, 0, false);
    PeHeaders headers;
    if (!OpenMappedModule(handle, false, module, headers)) return false;
    if (headers.IsDll() && headers.addressOfEntryPoint != 0 && headers.addressOfEntryPoint < module.Size()) {
        CallRoutine(handle + headers.addressOfEntryPoint, {0, DLL_PROCESS_DETACH, 0});
    }
    if (VirtualFree(reinterpret_cast<void*>(static_cast<std::uintptr_t>(handle)), 0, MEM_RELEASE)) handle = 0;
    return handle == 0;
}

std::uintptr_t ModuleLoader::GetEntry(const Text& name) const {
    if (handle == 0) return 0;
    EntryQuery query;
    const int number = TextToNumber(name);
    if (NumberToText(number) == name) {
        query.byOrdinal = true;
        query.ordinal = static_cast<std::uint32_t>(number);
    } else {
        query.name = name.c_str();
    }
    return FindModuleEntry(handle, query, false);
}

std::uintptr_t ModuleLoader::GetEntryPoint() const {
    if (handle == 0) return 0;
    // The signatures are not required here, only headers that lie inside the region.
    const std::uint32_t size = MappedRegionSize(handle);
    const ImageBytes module(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(handle)), size, false);
    const std::uint32_t ntOffset = module.U32(offsetof(IMAGE_DOS_HEADER, e_lfanew));
    if (!module.Contains(ntOffset, pe::NtHeadersSize)) return 0;
    return handle + module.U32(ntOffset + pe::AddressOfEntryPointAt);
}

std::uint32_t ModuleLoader::GetHandle() const { return handle; }
