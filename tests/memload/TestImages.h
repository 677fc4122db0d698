#pragma once
// The loaders' test images (the DLLs built beside this test), byte-level access to their
// PE fields for mutations, the probe's call record, and checks of what is left mapped.

#include "app/runtime/Text.h"
#include "fixtures/ProbeLog.h"
#include "memload/PeHeaders.h"

#include <windows.h>

#include <cstdint>
#include <string>

// A DLL file from the test's own directory; empty when it cannot be read.
Bytes ReadTestLibrary(const std::string& fileName);
const Bytes& ProbeImage();       // memload_probe.dll, ImageBase 0x30000000
const Bytes& UnresolvedImage();  // memload_unresolved.dll, imports memload_helper.dll!HelperMissing

inline constexpr std::uintptr_t ProbeImageBase = 0x30000000;
inline constexpr char HelperLibrary[] = "memload_helper.dll";

std::uint32_t Get32(const Bytes& image, std::uint32_t offset);
std::uint16_t Get16(const Bytes& image, std::uint32_t offset);
void Put32(Bytes& image, std::uint32_t offset, std::uint32_t value);
void Put16(Bytes& image, std::uint32_t offset, std::uint16_t value);

// Offsets in the file: the NT headers, a field inside them, the i-th section header.
std::uint32_t NtOffset(const Bytes& image);
inline std::uint32_t NtField(const Bytes& image, std::uint32_t fieldOffset) { return NtOffset(image) + fieldOffset; }
std::uint32_t SectionHeader(const Bytes& image, std::uint32_t index);
std::uint32_t SectionCount(const Bytes& image);
// The file offset of a relative address, or UINT32_MAX when no section holds it.
std::uint32_t RvaToOffset(const Bytes& image, std::uint32_t rva);
std::uint32_t DirectoryRva(const Bytes& image, std::uint32_t index);
std::uint32_t DirectoryBytes(const Bytes& image, std::uint32_t index);
// The index of the section that holds `rva`.
std::uint32_t SectionOf(const Bytes& image, std::uint32_t rva);

// The probe's record of its entry calls, published through QV_PROBE_LOG for the
// lifetime of the scope.
class ProbeLogScope {
public:
    ProbeLogScope();
    ~ProbeLogScope();
    ProbeLogScope(const ProbeLogScope&) = delete;
    ProbeLogScope& operator=(const ProbeLogScope&) = delete;

    ProbeLog log{};
    // "module/reason/reserved" per call, e.g. "0/1/0 0/0/0", with the module written as
    // "base" when it equals `base`.
    std::string Calls(std::uintptr_t base = 0) const;
};

// A library the test did not load itself is (not) in the process.
bool LibraryLoaded(const char* name);
// Drops every reference to memload_helper.dll left by a loader that keeps its libraries.
void UnloadHelper();

// The state of the page at `address`: MEM_FREE, MEM_RESERVE or MEM_COMMIT.
DWORD PageState(std::uintptr_t address);
inline bool IsCommitted(std::uintptr_t address) { return PageState(address) == MEM_COMMIT; }
// Released, or never taken. Wine keeps some ranges (0x30000000 among them) reserved for
// itself: VirtualAlloc may still place a region there, and after its release the range
// reads MEM_RESERVE again instead of Windows' MEM_FREE. Neither is usable memory.
inline bool IsReleased(std::uintptr_t address) { return PageState(address) != MEM_COMMIT; }
// Size of the allocation that begins at `base` (0 when it is free).
std::uint32_t AllocationSize(std::uintptr_t base);
// Number of committed execute-read-write regions: only the loaders make them here, so
// an unchanged count after a failed load shows nothing was left allocated.
int ExecutableRegionCount();

// Reserves an address range for the scope, so a loader cannot have it.
class ReservedRange {
public:
    ReservedRange(std::uintptr_t address, std::uint32_t size);
    ~ReservedRange();
    ReservedRange(const ReservedRange&) = delete;
    ReservedRange& operator=(const ReservedRange&) = delete;
    bool Held() const { return base_ != nullptr; }

private:
    void* base_;
};

// Calls an exported routine of the probe, which takes no argument (C call).
template <typename Result>
Result CallExport(std::uintptr_t address) {
    return reinterpret_cast<Result (*)()>(address)();
}
