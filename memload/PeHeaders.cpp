#include "memload/PeHeaders.h"

#include <algorithm>

PeHeaders ReadPeHeaders(const ImageBytes& view, std::uint32_t ntOffset, bool useOptionalHeaderSize) {
    PeHeaders headers;
    headers.ntOffset = ntOffset;
    headers.machine = view.U16(ntOffset + pe::MachineAt);
    headers.numberOfSections = view.U16(ntOffset + pe::NumberOfSectionsAt);
    headers.sizeOfOptionalHeader = view.U16(ntOffset + pe::SizeOfOptionalHeaderAt);
    headers.characteristics = view.U16(ntOffset + pe::CharacteristicsAt);
    headers.addressOfEntryPoint = view.U32(ntOffset + pe::AddressOfEntryPointAt);
    headers.imageBase = view.U32(ntOffset + pe::ImageBaseAt);
    headers.sectionAlignment = view.U32(ntOffset + pe::SectionAlignmentAt);
    headers.sizeOfImage = view.U32(ntOffset + pe::SizeOfImageAt);

    // 64-bit sums: e_lfanew is any 32-bit value the image holds.
    const std::uint64_t optionalSize =
        useOptionalHeaderSize ? headers.sizeOfOptionalHeader : pe::StandardOptionalHeaderSize;
    const std::uint64_t table = std::uint64_t{ntOffset} + pe::FileHeaderEnd + optionalSize;
    const std::uint64_t end = table + std::uint64_t{pe::SectionHeaderSize} * headers.numberOfSections;
    headers.sectionTable = table > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(table);
    headers.headersSize = end > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(end);
    return headers;
}

std::uint32_t DirectoryAddress(const ImageBytes& view, const PeHeaders& headers, std::uint32_t index) {
    return view.U32(headers.ntOffset + pe::DataDirectoryAt + index * 8);
}

std::uint32_t DirectorySize(const ImageBytes& view, const PeHeaders& headers, std::uint32_t index) {
    return view.U32(headers.ntOffset + pe::DataDirectoryAt + index * 8 + 4);
}

std::uint32_t MappedImageSize(const ImageBytes& view, const PeHeaders& headers) {
    const std::uint64_t alignment = headers.sectionAlignment;
    if (alignment == 0) return 0;
    std::uint64_t size = headers.sizeOfImage;
    for (std::uint32_t i = 0; i < headers.numberOfSections; ++i) {
        const std::uint32_t at = headers.sectionTable + i * pe::SectionHeaderSize;
        const std::uint64_t extent = std::max(view.U32(at + pe::VirtualSizeAt), view.U32(at + pe::SizeOfRawDataAt));
        const std::uint64_t end = view.U32(at + pe::VirtualAddressAt) + extent;
        size = std::max(size, (end + alignment - 1) / alignment * alignment);
    }
    return size > pe::LargestRegion ? 0 : static_cast<std::uint32_t>(size);
}
