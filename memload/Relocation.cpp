#include "memload/Relocation.h"

#include "memload/PeHeaders.h"

#include <cstring>

bool ApplyRelocations(std::uint8_t* base, const ImageBytes& module, std::uint32_t directory,
                      std::uint32_t directorySize, std::uint32_t delta) {
    if (!module.Contains(directory, directorySize)) return false;
    const std::uint32_t end = directory + directorySize;
    std::uint32_t block = directory;
    while (end - block >= pe::RelocationBlockHeaderSize) {
        const std::uint32_t page = module.U32(block);
        if (page == 0) break;
        const std::uint32_t blockSize = module.U32(block + 4);
        if (blockSize < pe::RelocationBlockHeaderSize || blockSize > end - block) return false;
        const std::uint32_t count = (blockSize - pe::RelocationBlockHeaderSize) / 2;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint16_t entry = module.U16(block + pe::RelocationBlockHeaderSize + i * 2);
            if ((entry & 0xF000) != (IMAGE_REL_BASED_HIGHLOW << 12)) continue;
            const std::uint64_t target = std::uint64_t{page} + (entry & 0x0FFF);
            if (target + 4 > module.Size()) return false;
            std::uint32_t value;
            std::memcpy(&value, base + target, 4);
            value += delta;
            std::memcpy(base + target, &value, 4);
        }
        block += blockSize;
    }
    return true;
}
