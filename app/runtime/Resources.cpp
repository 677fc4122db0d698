#include "app/runtime/Resources.h"

#include <windows.h>

std::basic_string_view<std::uint8_t> ResourceBytes(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    DWORD size = SizeofResource(module, found);
    auto* data = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (!data) return {};
    return {data, size};
}
