#include "TestImages.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::string TestDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1);
}

}  // namespace

Bytes ReadTestLibrary(const std::string& fileName) {
    std::ifstream file(TestDirectory() + fileName, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const Bytes& ProbeImage() {
    static const Bytes image = ReadTestLibrary("memload_probe.dll");
    return image;
}

const Bytes& UnresolvedImage() {
    static const Bytes image = ReadTestLibrary("memload_unresolved.dll");
    return image;
}

std::uint32_t Get32(const Bytes& image, std::uint32_t offset) {
    std::uint32_t value = 0;
    if (offset + 4 <= image.size()) std::memcpy(&value, image.data() + offset, 4);
    return value;
}

std::uint16_t Get16(const Bytes& image, std::uint32_t offset) {
    std::uint16_t value = 0;
    if (offset + 2 <= image.size()) std::memcpy(&value, image.data() + offset, 2);
    return value;
}

void Put32(Bytes& image, std::uint32_t offset, std::uint32_t value) {
    if (offset + 4 <= image.size()) std::memcpy(image.data() + offset, &value, 4);
}

void Put16(Bytes& image, std::uint32_t offset, std::uint16_t value) {
    if (offset + 2 <= image.size()) std::memcpy(image.data() + offset, &value, 2);
}

std::uint32_t NtOffset(const Bytes& image) { return Get32(image, offsetof(IMAGE_DOS_HEADER, e_lfanew)); }

std::uint32_t SectionCount(const Bytes& image) { return Get16(image, NtField(image, pe::NumberOfSectionsAt)); }

std::uint32_t SectionHeader(const Bytes& image, std::uint32_t index) {
    return NtOffset(image) + pe::FileHeaderEnd + Get16(image, NtField(image, pe::SizeOfOptionalHeaderAt)) +
           index * pe::SectionHeaderSize;
}

std::uint32_t SectionOf(const Bytes& image, std::uint32_t rva) {
    for (std::uint32_t i = 0; i < SectionCount(image); ++i) {
        const std::uint32_t at = SectionHeader(image, i);
        const std::uint32_t start = Get32(image, at + pe::VirtualAddressAt);
        const std::uint32_t size = std::max(Get32(image, at + pe::VirtualSizeAt), Get32(image, at + pe::SizeOfRawDataAt));
        if (rva >= start && rva < start + size) return i;
    }
    return UINT32_MAX;
}

std::uint32_t RvaToOffset(const Bytes& image, std::uint32_t rva) {
    const std::uint32_t section = SectionOf(image, rva);
    if (section == UINT32_MAX) return UINT32_MAX;
    const std::uint32_t at = SectionHeader(image, section);
    return rva - Get32(image, at + pe::VirtualAddressAt) + Get32(image, at + pe::PointerToRawDataAt);
}

std::uint32_t DirectoryRva(const Bytes& image, std::uint32_t index) {
    return Get32(image, NtField(image, pe::DataDirectoryAt + index * 8));
}

std::uint32_t DirectoryBytes(const Bytes& image, std::uint32_t index) {
    return Get32(image, NtField(image, pe::DataDirectoryAt + index * 8 + 4));
}

ProbeLogScope::ProbeLogScope() {
    char address[16];
    std::snprintf(address, sizeof address, "%lx", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(&log)));
    SetEnvironmentVariableA(PROBE_LOG_VARIABLE, address);
}

ProbeLogScope::~ProbeLogScope() { SetEnvironmentVariableA(PROBE_LOG_VARIABLE, nullptr); }

std::string ProbeLogScope::Calls(std::uintptr_t base) const {
    std::string calls;
    for (long i = 0; i < log.count && i < PROBE_LOG_CAPACITY; ++i) {
        const ProbeCall& call = log.calls[i];
        if (!calls.empty()) calls += ' ';
        calls += (base != 0 && call.module == base) ? std::string("base") : std::to_string(call.module);
        calls += '/' + std::to_string(call.reason) + '/' + std::to_string(call.reserved);
    }
    return calls;
}

bool LibraryLoaded(const char* name) { return GetModuleHandleA(name) != nullptr; }

void UnloadHelper() {
    for (int i = 0; i < 10000; ++i) {
        const HMODULE helper = GetModuleHandleA(HelperLibrary);
        if (helper == nullptr || !FreeLibrary(helper)) return;
    }
}

DWORD PageState(std::uintptr_t address) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info) != sizeof info) return 0;
    return info.State;
}

std::uint32_t AllocationSize(std::uintptr_t base) {
    std::uint32_t total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (std::uintptr_t at = base;
         VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) == sizeof info &&
         info.AllocationBase == reinterpret_cast<void*>(base) && info.State != MEM_FREE;
         at += info.RegionSize) {
        total += static_cast<std::uint32_t>(info.RegionSize);
    }
    return total;
}

int ExecutableRegionCount() {
    int count = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (std::uintptr_t at = 0x10000; at < 0x7FFF0000 &&
         VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) == sizeof info;
         at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE && info.Protect == PAGE_EXECUTE_READWRITE &&
            info.AllocationBase == info.BaseAddress) {
            ++count;
        }
    }
    return count;
}

ReservedRange::ReservedRange(std::uintptr_t address, std::uint32_t size)
    : base_(VirtualAlloc(reinterpret_cast<void*>(address), size, MEM_RESERVE, PAGE_NOACCESS)) {}

ReservedRange::~ReservedRange() {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
}
