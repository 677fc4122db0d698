#include "memload/ExportLookup.h"

#include "memload/PeHeaders.h"

#include <cstring>

namespace {

bool TableFits(const ImageBytes& module, std::uint32_t at, std::uint32_t count, std::uint32_t width) {
    const std::uint64_t bytes = std::uint64_t{count} * width;
    return bytes <= UINT32_MAX && module.Contains(at, static_cast<std::uint32_t>(bytes));
}

std::uintptr_t SlotAddress(const ImageBytes& module, std::uint32_t directory, std::uint32_t directorySize,
                           std::uint32_t functions, std::uint32_t numberOfFunctions, std::uint32_t index) {
    if (index >= numberOfFunctions || !TableFits(module, functions, index + 1, 4)) return 0;
    const std::uint32_t slot = module.U32(functions + index * 4);
    if (slot == 0 || slot >= module.Size()) return 0;
    // A forwarded export names another library's entry instead of code: not followed.
    if (slot >= directory && slot - directory < directorySize) return 0;
    return reinterpret_cast<std::uintptr_t>(module.Data()) + slot;
}

}  // namespace

ExportTableSpan ReadExportTableSpan(const ImageBytes& module, std::uint32_t directory) {
    if (!module.Contains(directory, pe::ExportDirectorySize)) return {};
    return {module.U32(directory + pe::ExportBaseAt), module.U32(directory + pe::NumberOfFunctionsAt)};
}

std::uintptr_t LookupExport(const ImageBytes& module, std::uint32_t directory, std::uint32_t directorySize,
                            const EntryQuery& query) {
    if (!module.Contains(directory, pe::ExportDirectorySize)) return 0;
    const std::uint32_t base = module.U32(directory + pe::ExportBaseAt);
    const std::uint32_t numberOfFunctions = module.U32(directory + pe::NumberOfFunctionsAt);
    const std::uint32_t functions = module.U32(directory + pe::AddressOfFunctionsAt);

    if (query.byOrdinal) {
        const std::uint32_t index = query.ordinal - base;  // below Base wraps far out of range
        return SlotAddress(module, directory, directorySize, functions, numberOfFunctions, index);
    }
    if (query.name == nullptr) return 0;

    const std::uint32_t numberOfNames = module.U32(directory + pe::NumberOfNamesAt);
    const std::uint32_t names = module.U32(directory + pe::AddressOfNamesAt);
    const std::uint32_t ordinals = module.U32(directory + pe::AddressOfNameOrdinalsAt);
    if (!TableFits(module, names, numberOfNames, 4) || !TableFits(module, ordinals, numberOfNames, 2)) return 0;

    for (std::uint32_t i = 0; i < numberOfNames; ++i) {
        const std::uint32_t nameAt = module.U32(names + i * 4);
        if (!module.HasText(nameAt) || std::strcmp(module.TextAt(nameAt), query.name) != 0) continue;
        const std::uint32_t index = module.U16(ordinals + i * 2);
        const std::uintptr_t address =
            SlotAddress(module, directory, directorySize, functions, numberOfFunctions, index);
        if (address != 0) return address;
    }
    return 0;
}
