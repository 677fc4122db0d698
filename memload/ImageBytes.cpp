#include "memload/ImageBytes.h"

#include <windows.h>

bool ImageBytes::Readable(std::uint32_t offset, std::uint32_t length) const {
    if (!Contains(offset, length)) return false;
    if (!guarded_ || length == 0) return true;
    return !IsBadReadPtr(data_ + offset, length);
}

bool ImageBytes::HasText(std::uint32_t offset) const {
    if (!Contains(offset, 1)) return false;
    if (!guarded_) return std::memchr(data_ + offset, 0, size_ - offset) != nullptr;
    // Guarded: probe one page at a time up to the terminator, so a short name near the
    // start of a large region does not probe the whole region.
    constexpr std::uintptr_t page = 4096;
    while (offset < size_) {
        const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(data_ + offset);
        const std::uint32_t toPageEnd = static_cast<std::uint32_t>(page - address % page);
        const std::uint32_t chunk = toPageEnd < size_ - offset ? toPageEnd : size_ - offset;
        if (IsBadReadPtr(data_ + offset, chunk)) return false;
        if (std::memchr(data_ + offset, 0, chunk) != nullptr) return true;
        offset += chunk;
    }
    return false;
}
