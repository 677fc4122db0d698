#pragma once
// The fields of a 32-bit PE image that the loaders use, read through a bounded view, and
// the size of the region an image needs.

#include "memload/ImageBytes.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace pe {

inline constexpr std::uint32_t DosHeaderSize = sizeof(IMAGE_DOS_HEADER);         // 64
inline constexpr std::uint32_t NtHeadersSize = sizeof(IMAGE_NT_HEADERS32);       // 248
inline constexpr std::uint32_t StandardOptionalHeaderSize = sizeof(IMAGE_OPTIONAL_HEADER32);  // 224
inline constexpr std::uint32_t FileHeaderEnd = 4 + sizeof(IMAGE_FILE_HEADER);    // 24
inline constexpr std::uint32_t SectionHeaderSize = sizeof(IMAGE_SECTION_HEADER); // 40
inline constexpr std::uint32_t ImportDescriptorSize = sizeof(IMAGE_IMPORT_DESCRIPTOR);  // 20
inline constexpr std::uint32_t ExportDirectorySize = sizeof(IMAGE_EXPORT_DIRECTORY);    // 40
inline constexpr std::uint32_t RelocationBlockHeaderSize = sizeof(IMAGE_BASE_RELOCATION);  // 8

static_assert(DosHeaderSize == 64 && NtHeadersSize == 248 && SectionHeaderSize == 40);

// Offsets inside IMAGE_NT_HEADERS32.
inline constexpr std::uint32_t SignatureAt = offsetof(IMAGE_NT_HEADERS32, Signature);
inline constexpr std::uint32_t MachineAt = offsetof(IMAGE_NT_HEADERS32, FileHeader.Machine);
inline constexpr std::uint32_t NumberOfSectionsAt =
    offsetof(IMAGE_NT_HEADERS32, FileHeader.NumberOfSections);
inline constexpr std::uint32_t SizeOfOptionalHeaderAt =
    offsetof(IMAGE_NT_HEADERS32, FileHeader.SizeOfOptionalHeader);
inline constexpr std::uint32_t CharacteristicsAt =
    offsetof(IMAGE_NT_HEADERS32, FileHeader.Characteristics);
inline constexpr std::uint32_t AddressOfEntryPointAt =
    offsetof(IMAGE_NT_HEADERS32, OptionalHeader.AddressOfEntryPoint);
inline constexpr std::uint32_t ImageBaseAt = offsetof(IMAGE_NT_HEADERS32, OptionalHeader.ImageBase);
inline constexpr std::uint32_t SectionAlignmentAt =
    offsetof(IMAGE_NT_HEADERS32, OptionalHeader.SectionAlignment);
inline constexpr std::uint32_t SizeOfImageAt = offsetof(IMAGE_NT_HEADERS32, OptionalHeader.SizeOfImage);
inline constexpr std::uint32_t DataDirectoryAt =
    offsetof(IMAGE_NT_HEADERS32, OptionalHeader.DataDirectory);

// Offsets inside IMAGE_SECTION_HEADER.
inline constexpr std::uint32_t VirtualSizeAt = offsetof(IMAGE_SECTION_HEADER, Misc.VirtualSize);
inline constexpr std::uint32_t VirtualAddressAt = offsetof(IMAGE_SECTION_HEADER, VirtualAddress);
inline constexpr std::uint32_t SizeOfRawDataAt = offsetof(IMAGE_SECTION_HEADER, SizeOfRawData);
inline constexpr std::uint32_t PointerToRawDataAt = offsetof(IMAGE_SECTION_HEADER, PointerToRawData);

// Offsets inside IMAGE_IMPORT_DESCRIPTOR and IMAGE_EXPORT_DIRECTORY.
inline constexpr std::uint32_t OriginalFirstThunkAt = 0;
inline constexpr std::uint32_t ImportNameAt = offsetof(IMAGE_IMPORT_DESCRIPTOR, Name);
inline constexpr std::uint32_t FirstThunkAt = offsetof(IMAGE_IMPORT_DESCRIPTOR, FirstThunk);
inline constexpr std::uint32_t ExportBaseAt = offsetof(IMAGE_EXPORT_DIRECTORY, Base);
inline constexpr std::uint32_t NumberOfFunctionsAt = offsetof(IMAGE_EXPORT_DIRECTORY, NumberOfFunctions);
inline constexpr std::uint32_t NumberOfNamesAt = offsetof(IMAGE_EXPORT_DIRECTORY, NumberOfNames);
inline constexpr std::uint32_t AddressOfFunctionsAt = offsetof(IMAGE_EXPORT_DIRECTORY, AddressOfFunctions);
inline constexpr std::uint32_t AddressOfNamesAt = offsetof(IMAGE_EXPORT_DIRECTORY, AddressOfNames);
inline constexpr std::uint32_t AddressOfNameOrdinalsAt =
    offsetof(IMAGE_EXPORT_DIRECTORY, AddressOfNameOrdinals);

inline constexpr std::uint32_t ExportDirectory = IMAGE_DIRECTORY_ENTRY_EXPORT;       // 0
inline constexpr std::uint32_t ImportDirectory = IMAGE_DIRECTORY_ENTRY_IMPORT;       // 1
inline constexpr std::uint32_t RelocationDirectory = IMAGE_DIRECTORY_ENTRY_BASERELOC;  // 5

// Regions larger than this are refused before anything is allocated: no 32-bit process
// can map them, and the limit keeps the size arithmetic far from overflow.
inline constexpr std::uint64_t LargestRegion = 0x7FFF0000u;

}  // namespace pe

// The header fields, read from the start of an image or of a mapped module.
struct PeHeaders {
    std::uint32_t ntOffset = 0;          // e_lfanew
    std::uint32_t sectionTable = 0;      // offset of the first section header
    std::uint32_t headersSize = 0;       // bytes through the end of the section table
    std::uint32_t numberOfSections = 0;
    std::uint32_t sizeOfOptionalHeader = 0;
    std::uint32_t machine = 0;
    std::uint32_t characteristics = 0;
    std::uint32_t addressOfEntryPoint = 0;
    std::uint32_t imageBase = 0;
    std::uint32_t sectionAlignment = 0;
    std::uint32_t sizeOfImage = 0;

    bool IsDll() const { return (characteristics & IMAGE_FILE_DLL) != 0; }
    bool IsExecutable() const { return (characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) != 0; }
};

// Reads the fields at the NT headers of `view` (which must hold all 248 bytes of them).
// With `useOptionalHeaderSize` the section table follows the optional header as its
// size says; otherwise it always follows the standard 224 bytes.
PeHeaders ReadPeHeaders(const ImageBytes& view, std::uint32_t ntOffset, bool useOptionalHeaderSize);

std::uint32_t DirectoryAddress(const ImageBytes& view, const PeHeaders& headers, std::uint32_t index);
std::uint32_t DirectorySize(const ImageBytes& view, const PeHeaders& headers, std::uint32_t index);

// The region an image needs: the larger of SizeOfImage and every section's end rounded up
// to SectionAlignment. 0 when it cannot be mapped (no alignment, or too large).
std::uint32_t MappedImageSize(const ImageBytes& view, const PeHeaders& headers);
