#include "memload/MemoryModule.h"

#include <windows.h>

std::uintptr_t LoadMemoryModule(std::span<const std::uint8_t> image, ImportResolver resolver,
                                std::uint32_t context) {
    return MapModuleImage(image, resolver, context, MappingRules{.preferImageBase = false, .guardedAccess = true});
}

std::uintptr_t GetMemoryModuleEntry(std::uintptr_t base, std::uintptr_t nameOrOrdinal) {
    EntryQuery query;
    // The lowest 64 KiB are never readable, so every 16-bit ordinal qualifies.
    if (nameOrOrdinal < 0x10000 || IsBadReadPtr(reinterpret_cast<const void*>(nameOrOrdinal), 4)) {
        query.byOrdinal = true;
        query.ordinal = static_cast<std::uint32_t>(nameOrOrdinal);
    } else {
        query.name = reinterpret_cast<const char*>(nameOrOrdinal);
    }
    return FindModuleEntry(base, query, true);
}
