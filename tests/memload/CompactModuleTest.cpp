// The compact loader: stricter validation, ImageBase first, OriginalFirstThunk, the base
// passed to the entry routine, the release of imported libraries on every path.
#include "TestImages.h"
#include "memload/CompactModule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

class CompactModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ProbeImage().empty());
        UnloadHelper();
    }
    void TearDown() override {
        for (std::uintptr_t base : mapped) {
            if (IsCommitted(base)) FreeCompactModule(base);
        }
        UnloadHelper();
    }
    std::uintptr_t Load(const Bytes& image, CompactImportResolver resolver = nullptr, std::uint32_t context = 0) {
        return Load(image, static_cast<std::uint32_t>(image.size()), resolver, context);
    }
    std::uintptr_t Load(const Bytes& image, std::uint32_t size, CompactImportResolver resolver = nullptr,
                        std::uint32_t context = 0) {
        const std::uintptr_t base = LoadCompactModule(image.data(), size, resolver, context);
        if (base != 0) mapped.push_back(base);
        return base;
    }

    ProbeLogScope probe;
    std::vector<std::uintptr_t> mapped;
};

TEST(FindSystemRoutineTest, FindsKernel32ExportsThroughTheModuleList) {
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    for (const char* name : {"VirtualAlloc", "VirtualFree", "VirtualQuery", "LoadLibraryA", "FreeLibrary",
                             "GetProcAddress", "GetModuleHandleA"}) {
        EXPECT_EQ(FindSystemRoutine(name), reinterpret_cast<std::uintptr_t>(GetProcAddress(kernel32, name))) << name;
    }
    EXPECT_EQ(FindSystemRoutine("NoSuchRoutineAnywhere"), 0u);
    EXPECT_EQ(FindSystemRoutine("virtualalloc"), 0u) << "names compare case-sensitively";
    EXPECT_EQ(FindSystemRoutine(nullptr), 0u);
}

TEST_F(CompactModuleTest, MapsAtImageBaseAndPassesTheBaseToTheEntryRoutine) {
    ASSERT_TRUE(IsReleased(ProbeImageBase));
    const std::uintptr_t base = Load(ProbeImage());
    ASSERT_EQ(base, ProbeImageBase);
    EXPECT_EQ(probe.Calls(base), "base/1/0");
    EXPECT_STREQ(CallExport<const char*>(GetCompactModuleEntry(base, "Greeting")), "probe greeting");
    EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(GetCompactModuleEntry(base, "AddThroughHelper"))(2, 3), 10);
    EXPECT_TRUE(LibraryLoaded(HelperLibrary));

    FreeCompactModule(base);
    EXPECT_EQ(probe.Calls(base), "base/1/0 base/0/0");
    EXPECT_TRUE(IsReleased(base));
    EXPECT_FALSE(LibraryLoaded(HelperLibrary)) << "the imported library is released with the module";
}

TEST_F(CompactModuleTest, RelocatesWhenImageBaseIsTaken) {
    ReservedRange taken(ProbeImageBase, 0x10000);
    ASSERT_TRUE(taken.Held());
    const std::uintptr_t base = Load(ProbeImage());
    ASSERT_NE(base, 0u);
    EXPECT_NE(base, ProbeImageBase);
    EXPECT_EQ(probe.Calls(base), "base/1/0");
    EXPECT_STREQ(CallExport<const char*>(GetCompactModuleEntry(base, "Greeting")), "probe greeting");
}

TEST_F(CompactModuleTest, StricterValidationAllocatesNothing) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> mutate;
    };
    const Case cases[] = {
        {"63 bytes", [](Bytes& image) { image.resize(63); }},
        {"no MZ", [](Bytes& image) { image[0] = 'Z'; }},
        {"NT headers past the end", [](Bytes& image) { Put32(image, 0x3C, static_cast<std::uint32_t>(image.size()) - 200); }},
        {"no PE signature", [](Bytes& image) { image[NtOffset(image)] = 'Q'; }},
        {"Machine not i386", [](Bytes& image) { Put16(image, NtField(image, pe::MachineAt), IMAGE_FILE_MACHINE_AMD64); }},
        {"not an executable image",
         [](Bytes& image) {
             const std::uint32_t at = NtField(image, pe::CharacteristicsAt);
             Put16(image, at, Get16(image, at) & ~IMAGE_FILE_EXECUTABLE_IMAGE);
         }},
        {"SizeOfOptionalHeader 223", [](Bytes& image) { Put16(image, NtField(image, pe::SizeOfOptionalHeaderAt), 223); }},
        {"section table past the end", [](Bytes& image) { Put16(image, NtField(image, pe::NumberOfSectionsAt), 0xFFFF); }},
        {"raw data past the end",
         [](Bytes& image) { Put32(image, SectionHeader(image, 1) + pe::PointerToRawDataAt, 0xFFFFFF00u); }},
    };
    const int regionsBefore = ExecutableRegionCount();
    for (const Case& c : cases) {
        Bytes image = ProbeImage();
        c.mutate(image);
        EXPECT_EQ(Load(image), 0u) << c.what;
    }
    EXPECT_EQ(Load(Bytes{}), 0u);
    EXPECT_EQ(LoadCompactModule(nullptr, 4096, nullptr, 0), 0u);
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
    EXPECT_EQ(probe.Calls(), "");
    EXPECT_FALSE(LibraryLoaded(HelperLibrary));
}

TEST_F(CompactModuleTest, RawDataMayEndExactlyAtTheImageSize) {
    const Bytes& image = ProbeImage();
    std::uint32_t end = 0;
    for (std::uint32_t i = 0; i < SectionCount(image); ++i) {
        const std::uint32_t at = SectionHeader(image, i);
        end = std::max(end, Get32(image, at + pe::PointerToRawDataAt) + Get32(image, at + pe::SizeOfRawDataAt));
    }
    ASSERT_LE(end, image.size());
    EXPECT_EQ(Load(image, end - 1), 0u) << "one byte short";
    const std::uintptr_t base = Load(image, end);
    EXPECT_NE(base, 0u) << "ending exactly at the size";
}

TEST_F(CompactModuleTest, LargerOptionalHeaderMovesTheSectionTable) {
    Bytes image = ProbeImage();
    const std::uint32_t table = SectionHeader(image, 0);
    const std::uint32_t tableBytes = SectionCount(image) * pe::SectionHeaderSize;
    const std::uint32_t firstRawData = Get32(image, table + pe::PointerToRawDataAt);
    ASSERT_LE(table + 16 + tableBytes, firstRawData) << "no room in the header padding";
    // 16 extra bytes after the data directories, marked so the header copy can be seen.
    std::copy_backward(image.begin() + table, image.begin() + table + tableBytes, image.begin() + table + 16 + tableBytes);
    for (std::uint32_t i = 0; i < 16; ++i) image[table + i] = static_cast<std::uint8_t>(0xA0 + i);
    Put16(image, NtField(image, pe::SizeOfOptionalHeaderAt), pe::StandardOptionalHeaderSize + 16);

    const std::uintptr_t base = Load(image);
    ASSERT_NE(base, 0u);
    EXPECT_STREQ(CallExport<const char*>(GetCompactModuleEntry(base, "Greeting")), "probe greeting");
    const auto* mapped = reinterpret_cast<const std::uint8_t*>(base);
    for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(mapped[table + i], 0xA0 + i);
    EXPECT_EQ(std::memcmp(mapped + table + 16, image.data() + table + 16, tableBytes), 0) << "the whole section table is copied";
}

TEST_F(CompactModuleTest, ZeroEntryPointMeansNoCallOnLoadOrFree) {
    Bytes image = ProbeImage();
    Put32(image, NtField(image, pe::AddressOfEntryPointAt), 0);
    const std::uintptr_t base = Load(image);
    ASSERT_NE(base, 0u);
    FreeCompactModule(base);
    EXPECT_EQ(probe.Calls(), "");
    EXPECT_TRUE(IsReleased(base));
    EXPECT_FALSE(LibraryLoaded(HelperLibrary));
}

TEST_F(CompactModuleTest, RefusedAttachReleasesLibrariesAndRegion) {
    probe.log.failAttach = 1;
    const int regionsBefore = ExecutableRegionCount();
    EXPECT_EQ(Load(ProbeImage()), 0u);
    EXPECT_EQ(probe.Calls(ProbeImageBase), "base/1/0 base/0/0") << "detached with the same base";
    EXPECT_FALSE(LibraryLoaded(HelperLibrary));
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
    EXPECT_TRUE(IsReleased(ProbeImageBase));
}

TEST_F(CompactModuleTest, UnresolvedImportReleasesTheLibrariesUpToIt) {
    const int regionsBefore = ExecutableRegionCount();
    EXPECT_EQ(Load(UnresolvedImage()), 0u);
    EXPECT_FALSE(LibraryLoaded(HelperLibrary));
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
}

TEST_F(CompactModuleTest, ReadsOriginalFirstThunkAndWritesFirstThunk) {
    // Spoil the import address table in the file: the names must come from the lookup
    // table at OriginalFirstThunk, and the addresses still land in the address table.
    Bytes image = ProbeImage();
    const std::uint32_t descriptors = RvaToOffset(image, DirectoryRva(image, pe::ImportDirectory));
    for (std::uint32_t d = descriptors; Get32(image, d + pe::ImportNameAt) != 0; d += pe::ImportDescriptorSize) {
        ASSERT_NE(Get32(image, d + pe::OriginalFirstThunkAt), 0u);
        for (std::uint32_t t = RvaToOffset(image, Get32(image, d + pe::FirstThunkAt)); Get32(image, t) != 0; t += 4) {
            Put32(image, t, 0x7FFFFFF0u);
        }
    }
    const std::uintptr_t base = Load(image);
    ASSERT_NE(base, 0u);
    EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(GetCompactModuleEntry(base, "AddThroughHelper"))(2, 3), 10);
}

struct CompactResolverCall {
    std::string library;
    std::uintptr_t entry;
    std::uint32_t isOrdinal, context;
};
std::vector<CompactResolverCall> compactResolverCalls;
int Subtract(int a, int b) { return a - b; }

std::uintptr_t __stdcall RecordingCompactResolver(const char* library, std::uintptr_t entry, std::uint32_t isOrdinal,
                                                  std::uint32_t context) {
    compactResolverCalls.push_back({library, entry, isOrdinal, context});
    if (isOrdinal == 0 && std::string(reinterpret_cast<const char*>(entry)) == "HelperAdd") {
        return reinterpret_cast<std::uintptr_t>(&Subtract);
    }
    return 0;
}

TEST_F(CompactModuleTest, ResolverGetsOrdinalsAsNumbersAndNamesAsAddresses) {
    compactResolverCalls.clear();
    const std::uintptr_t base = Load(ProbeImage(), &RecordingCompactResolver, 77);
    ASSERT_NE(base, 0u);
    ASSERT_EQ(compactResolverCalls.size(), 3u);
    EXPECT_EQ(compactResolverCalls[0].library, "KERNEL32.dll");
    EXPECT_STREQ(reinterpret_cast<const char*>(compactResolverCalls[0].entry), "GetEnvironmentVariableA");
    EXPECT_EQ(compactResolverCalls[1].library, HelperLibrary);
    EXPECT_EQ(compactResolverCalls[1].isOrdinal, 0u);
    EXPECT_GT(compactResolverCalls[1].entry, base) << "the name inside the mapped module";
    EXPECT_EQ(compactResolverCalls[2].entry, 2u);
    EXPECT_EQ(compactResolverCalls[2].isOrdinal, 0x80000000u);
    for (const CompactResolverCall& call : compactResolverCalls) EXPECT_EQ(call.context, 77u);
    // HelperAdd came from the resolver (a - b), HelperTwice from GetProcAddress.
    EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(GetCompactModuleEntry(base, "AddThroughHelper"))(5, 3), 4);
}

TEST_F(CompactModuleTest, EntryLookupNeverTakesASmallNumberForAName) {
    const std::uintptr_t base = Load(ProbeImage());
    ASSERT_NE(base, 0u);
    const std::uintptr_t attachRes = GetCompactModuleEntry(base, "AttachRes");
    ASSERT_NE(attachRes, 0u);
    EXPECT_STREQ(CallExport<const char*>(attachRes), "AttachRes");
    EXPECT_STREQ(CallExport<const char*>(GetCompactModuleEntry(base, "Attach")), "Attach");

    struct Case {
        const char* what;
        std::uintptr_t nameOrOrdinal;
        std::uintptr_t expected;
    };
    const Case cases[] = {
        {"ordinal 6", 6, attachRes},
        {"empty slot 4", 4, 0},
        {"Base + NumberOfFunctions", 9, 0},
        {"small number outside the table", 100, 0},
        {"largest 16-bit value", 0xFFFF, 0},
        {"zero", 0, 0},
        {"unknown name", reinterpret_cast<std::uintptr_t>("Missing"), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(GetCompactModuleEntry(base, c.nameOrOrdinal), c.expected) << c.what;
    EXPECT_EQ(CallExport<int>(GetCompactModuleEntry(base, 8)), 0x5eed);
    EXPECT_EQ(GetCompactModuleEntry(0, 6), 0u);
}

TEST_F(CompactModuleTest, FreeingNothingOrAFreedModuleDoesNothing) {
    FreeCompactModule(0);
    const std::uintptr_t base = Load(ProbeImage());
    ASSERT_NE(base, 0u);
    FreeCompactModule(base);
    FreeCompactModule(base);  // the region is gone: nothing is read, called or freed
    EXPECT_EQ(probe.Calls(base), "base/1/0 base/0/0");
    EXPECT_EQ(GetCompactModuleEntry(base, "Greeting"), 0u);
}

}  // namespace
