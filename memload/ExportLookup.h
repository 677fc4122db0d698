#pragma once
// Looks an entry up in the export table of a mapped module, by ordinal or by name.

#include "memload/ImageBytes.h"

#include <cstdint>

struct EntryQuery {
    bool byOrdinal = false;
    std::uint32_t ordinal = 0;    // when byOrdinal
    const char* name = nullptr;   // otherwise: a zero-terminated name, compared whole and case-sensitive
};

// `module` is the whole mapped region, starting at the module's base; the export
// directory is at `directory` and covers `directorySize` bytes. Answers the entry's
// address, or 0 for an ordinal outside the table, an empty slot, an unknown name, a
// forwarded export (its slot points back into the directory) or any table that does not
// lie inside the region.
std::uintptr_t LookupExport(const ImageBytes& module, std::uint32_t directory, std::uint32_t directorySize,
                            const EntryQuery& query);

// The ordinal base and the number of slots of the export table, 0 and 0 when the
// directory does not fit in the region.
struct ExportTableSpan {
    std::uint32_t base = 0;
    std::uint32_t numberOfFunctions = 0;
};
ExportTableSpan ReadExportTableSpan(const ImageBytes& module, std::uint32_t directory);
