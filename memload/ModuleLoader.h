#pragma once
// An object that holds at most one library image mapped from memory and hands out its
// entries. It maps like LoadMemoryModule, but asks for the region at the image's
// ImageBase first, and reads the image and calls the module's routines directly.

#include "app/runtime/Text.h"
#include "memload/ImageMapping.h"

#include <cstdint>
#include <span>

class ModuleLoader {
public:
    ModuleLoader() = default;
    ModuleLoader(const ModuleLoader&) = default;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // The table of operations, in slot order.
    // Does nothing: the held module stays mapped; the owner then deletes the object.
    virtual void Destroy();
    // A new object holding the same module.
    virtual ModuleLoader* Duplicate() const;
    // Unloads any held module, then maps `image` and holds it; true when it is held.
    virtual bool Load(std::span<const std::uint8_t> image, ImportResolver resolver = nullptr,
                      std::uint32_t context = 0);
    // Calls the held module's entry routine with DLL_PROCESS_DETACH and releases its
    // region; true when no module is held afterwards. The libraries its imports loaded
    // stay loaded.
    virtual bool Unload();
    // An entry by name, or by ordinal when `name` is a plain decimal number ("6", not
    // "06" or " 6"); 0 when there is none.
    virtual std::uintptr_t GetEntry(const Text& name) const;
    // Address of the held module's entry routine; 0 when none is held.
    virtual std::uintptr_t GetEntryPoint() const;
    // Base address of the held module; 0 when none is held.
    virtual std::uint32_t GetHandle() const;

    virtual ~ModuleLoader() = default;

    std::uint32_t handle = 0;
};
