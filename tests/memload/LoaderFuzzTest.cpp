// Whatever bytes an image holds, no loader reads or writes outside the image or the
// mapped region: broken structures fail the load cleanly, and thousands of mutated
// images go through every loader's validation, mapping and lookups without a crash.
#include "TestImages.h"
#include "libs/EmbeddedImages.h"
#include "memload/CompactModule.h"
#include "memload/MemoryModule.h"
#include "memload/ModuleLoader.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

namespace {

enum class Loader { Procedural, Object, Compact };
const Loader AllLoaders[] = {Loader::Procedural, Loader::Object, Loader::Compact};

const char* NameOf(Loader loader) {
    switch (loader) {
    case Loader::Procedural: return "LoadMemoryModule";
    case Loader::Object: return "ModuleLoader::Load";
    case Loader::Compact: return "LoadCompactModule";
    }
    return "";
}

// Maps with the given loader and looks a few entries up; answers the base (0 on
// failure). The module is left mapped for the caller to release.
std::uintptr_t MapAndLookUp(Loader loader, const Bytes& image) {
    switch (loader) {
    case Loader::Procedural: {
        const std::uintptr_t base = LoadMemoryModule(image);
        if (base != 0) {
            GetMemoryModuleEntry(base, "AttachRes");
            GetMemoryModuleEntry(base, "inflate");
            GetMemoryModuleEntry(base, 6);
        }
        return base;
    }
    case Loader::Object: {
        ModuleLoader object;
        if (!object.Load(image)) return 0;
        object.GetEntry("AttachRes");
        object.GetEntry("inflate");
        object.GetEntry("6");
        object.GetEntryPoint();
        return object.GetHandle();  // destroying the object leaves the module mapped
    }
    case Loader::Compact: {
        const std::uintptr_t base = LoadCompactModule(image.data(), static_cast<std::uint32_t>(image.size()));
        if (base != 0) {
            GetCompactModuleEntry(base, "AttachRes");
            GetCompactModuleEntry(base, "inflate");
            GetCompactModuleEntry(base, 6);
            GetCompactModuleEntry(base, 0x12345);
        }
        return base;
    }
    }
    return 0;
}

// Released directly: a mutated module's own headers cannot be trusted to unload it.
void Release(std::uintptr_t base) {
    if (base != 0) VirtualFree(reinterpret_cast<void*>(base), 0, MEM_RELEASE);
}

void ClearDllFlag(Bytes& image) {
    const std::uint32_t at = NtField(image, pe::CharacteristicsAt);
    if (at + 2 <= image.size()) Put16(image, at, Get16(image, at) & ~IMAGE_FILE_DLL);
}

class LoaderFuzzTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ProbeImage().empty());
        UnloadHelper();
    }
    void TearDown() override { UnloadHelper(); }
    ProbeLogScope probe;
};

std::uint32_t ImportDescriptor(const Bytes& image, std::uint32_t index) {
    return RvaToOffset(image, DirectoryRva(image, pe::ImportDirectory)) + index * pe::ImportDescriptorSize;
}
std::uint32_t RelocationBlock(const Bytes& image) {
    return RvaToOffset(image, DirectoryRva(image, pe::RelocationDirectory));
}
// The helper's descriptor: its first thunk is HelperAdd, imported by name.
std::uint32_t HelperDescriptor(const Bytes& image) {
    for (std::uint32_t i = 0;; ++i) {
        const std::uint32_t at = ImportDescriptor(image, i);
        const std::uint32_t name = Get32(image, at + pe::ImportNameAt);
        if (name == 0) return at;
        if (std::string(reinterpret_cast<const char*>(image.data()) + RvaToOffset(image, name)) == HelperLibrary) return at;
    }
}

TEST_F(LoaderFuzzTest, BrokenStructuresFailTheLoadWithNothingLeft) {
    constexpr std::uint32_t outside = 0x00F00000;  // far past the probe's region
    struct Case {
        const char* what;
        std::function<void(Bytes&)> mutate;
    };
    const Case cases[] = {
        {"relocation block of size 0 (the walk would never end)",
         [](Bytes& image) { Put32(image, RelocationBlock(image) + 4, 0); }},
        {"relocation block larger than its directory",
         [](Bytes& image) { Put32(image, RelocationBlock(image) + 4, 0x7FFFFFF0u); }},
        {"relocation targets outside the region",
         [](Bytes& image) { Put32(image, RelocationBlock(image), 0x7FFFF000u); }},
        {"relocation directory outside the region",
         [](Bytes& image) { Put32(image, NtField(image, pe::DataDirectoryAt + pe::RelocationDirectory * 8), outside); }},
        {"import directory outside the region",
         [](Bytes& image) { Put32(image, NtField(image, pe::DataDirectoryAt + pe::ImportDirectory * 8), outside); }},
        {"library name outside the region",
         [](Bytes& image) { Put32(image, HelperDescriptor(image) + pe::ImportNameAt, outside); }},
        {"thunk tables outside the region",
         [](Bytes& image) {
             Put32(image, HelperDescriptor(image) + pe::FirstThunkAt, outside);
             Put32(image, HelperDescriptor(image) + pe::OriginalFirstThunkAt, outside);
         }},
        {"imported name outside the region",
         [](Bytes& image) {
             for (std::uint32_t field : {pe::FirstThunkAt, pe::OriginalFirstThunkAt}) {
                 Put32(image, RvaToOffset(image, Get32(image, HelperDescriptor(image) + field)), outside);
             }
         }},
        {"headers larger than the region",
         [](Bytes& image) {
             Put16(image, NtField(image, pe::NumberOfSectionsAt), 0);
             Put32(image, NtField(image, pe::SizeOfImageAt), 0x100);
         }},
    };
    for (Loader loader : AllLoaders) {
        const int regionsBefore = ExecutableRegionCount();
        for (const Case& c : cases) {
            Bytes image = ProbeImage();
            c.mutate(image);
            const std::uintptr_t base = MapAndLookUp(loader, image);
            EXPECT_EQ(base, 0u) << NameOf(loader) << ": " << c.what;
            Release(base);
        }
        EXPECT_EQ(ExecutableRegionCount(), regionsBefore) << NameOf(loader);
        EXPECT_EQ(probe.Calls(), "") << NameOf(loader) << ": no entry routine ran";
        UnloadHelper();
    }
}

TEST_F(LoaderFuzzTest, BrokenExportTablesAnswerZero) {
    struct Case {
        const char* what;
        std::uint32_t field;  // inside IMAGE_EXPORT_DIRECTORY
        std::uint32_t value;
    };
    const Case cases[] = {
        {"functions outside the region", pe::AddressOfFunctionsAt, 0x00F00000},
        {"names outside the region", pe::AddressOfNamesAt, 0x00F00000},
        {"name ordinals outside the region", pe::AddressOfNameOrdinalsAt, 0x7FFFFFFF},
        {"huge number of names", pe::NumberOfNamesAt, 0x40000000},
        {"huge number of functions", pe::NumberOfFunctionsAt, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        Bytes image = ProbeImage();
        const std::uint32_t directory = RvaToOffset(image, DirectoryRva(image, pe::ExportDirectory));
        Put32(image, directory + c.field, c.value);
        ClearDllFlag(image);

        const std::uintptr_t procedural = LoadMemoryModule(image);
        ModuleLoader object;
        ASSERT_TRUE(object.Load(image)) << c.what;
        const std::uintptr_t compact = LoadCompactModule(image.data(), static_cast<std::uint32_t>(image.size()));
        ASSERT_NE(procedural, 0u);
        ASSERT_NE(compact, 0u);
        // Whatever answer each gives for the ordinal lookups, the name lookups that
        // depend on the broken table find nothing, and nothing is read out of bounds.
        const bool namesBroken = c.field != pe::NumberOfFunctionsAt;
        if (namesBroken) {
            EXPECT_EQ(GetMemoryModuleEntry(procedural, "AttachRes"), 0u) << c.what;
            EXPECT_EQ(object.GetEntry("AttachRes"), 0u) << c.what;
            EXPECT_EQ(GetCompactModuleEntry(compact, "AttachRes"), 0u) << c.what;
        }
        for (std::uintptr_t ordinal = 1; ordinal < 10; ++ordinal) {
            GetMemoryModuleEntry(procedural, ordinal);
            object.GetEntry(NumberToText(static_cast<long long>(ordinal)));
            GetCompactModuleEntry(compact, ordinal);
        }
        GetMemoryModuleEntry(procedural, 0x7FFFFFFF);
        Release(procedural);
        Release(object.GetHandle());
        Release(compact);
    }
}

// Mutates bytes where the loaders look: the headers and the export, import and
// relocation data.
class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}

    Bytes Mutate(const Bytes& original) {
        Bytes image = original;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> areas = {{0, std::min<std::uint32_t>(0x400, image.size())}};
        for (std::uint32_t directory : {pe::ExportDirectory, pe::ImportDirectory, pe::RelocationDirectory}) {
            const std::uint32_t at = RvaToOffset(image, DirectoryRva(image, directory));
            const std::uint32_t size = DirectoryBytes(image, directory);
            if (at < image.size() && size > 0) areas.emplace_back(at, std::min<std::uint32_t>(size + 64, image.size() - at));
        }
        const int mutations = 1 + Below(4);
        for (int m = 0; m < mutations; ++m) {
            const auto& [start, length] = areas[Below(static_cast<std::uint32_t>(areas.size()))];
            const std::uint32_t at = start + Below(length);
            if (Below(10) < 4) {
                if (at < image.size()) image[at] = static_cast<std::uint8_t>(random_());
            } else {
                Put32(image, at & ~(Below(2) ? 3u : 1u), Interesting(static_cast<std::uint32_t>(image.size())));
            }
        }
        if (Below(20) == 0) image.resize(Below(static_cast<std::uint32_t>(image.size())));
        ClearDllFlag(image);  // the entry routine of a mutated image is never to be run
        return image;
    }

private:
    std::uint32_t Below(std::uint32_t limit) { return limit == 0 ? 0 : random_() % limit; }
    std::uint32_t Interesting(std::uint32_t imageSize) {
        const std::uint32_t values[] = {0, 1, 2, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x1000, 0xFFFF, 0x10000,
                                        0x00F00000, imageSize, imageSize - 1, 0xFFFFFFF8};
        const std::uint32_t pick = Below(sizeof values / sizeof values[0] + 2);
        if (pick < sizeof values / sizeof values[0]) return values[pick];
        return pick % 2 ? static_cast<std::uint32_t>(random_()) : Below(0x8000);
    }

    std::mt19937 random_;
};

TEST_F(LoaderFuzzTest, ThousandsOfMutatedImagesNeverCrashAnyLoader) {
    const Bytes zlib = ZlibImage.ToBytes();
    const Bytes* originals[] = {&ProbeImage(), &zlib};
    constexpr int Rounds = 1500;  // per loader and original image
    for (Loader loader : AllLoaders) {
        Mutator mutator(20261211);
        const int regionsBefore = ExecutableRegionCount();
        int mapped = 0;
        for (const Bytes* original : originals) {
            for (int round = 0; round < Rounds; ++round) {
                const std::uintptr_t base = MapAndLookUp(loader, mutator.Mutate(*original));
                mapped += base != 0;
                Release(base);
                // The procedural loader and the object keep every library they load; drop
                // those references now and then so the count cannot saturate.
                if (round % 16 == 15) UnloadHelper();
            }
        }
        EXPECT_EQ(ExecutableRegionCount(), regionsBefore) << NameOf(loader) << ": a failed load left a region";
        EXPECT_EQ(probe.Calls(), "") << NameOf(loader);
        // Some mutations are harmless; a loader that refused everything would prove little.
        EXPECT_GT(mapped, Rounds / 10) << NameOf(loader);
        UnloadHelper();
    }
}

}  // namespace
