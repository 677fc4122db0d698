#include "memload/EmbeddedModules.h"

#include "libs/EmbeddedImages.h"
#include "memload/MemoryModule.h"

std::int32_t TcpLibraryBase = 0;
std::uintptr_t TcpLibraryEntries[TcpLibraryEntryCount] = {};

void MapTcpLibrary() {
    TcpLibraryBase = static_cast<std::int32_t>(LoadMemoryModule(TcpLibraryImage.Span(), nullptr, 0));
    if (TcpLibraryBase <= 0) return;
    for (int ordinal = 1; ordinal <= TcpLibraryEntryCount; ++ordinal) {
        TcpLibraryEntries[ordinal - 1] =
            GetMemoryModuleEntry(static_cast<std::uintptr_t>(TcpLibraryBase), static_cast<std::uintptr_t>(ordinal));
    }
}
