// The procedural loader: LoadMemoryModule and GetMemoryModuleEntry.
#include "TestImages.h"
#include "memload/MemoryModule.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class MemoryModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ProbeImage().empty()) << "memload_probe.dll should lie beside the test";
        UnloadHelper();
    }
    void TearDown() override {
        for (std::uintptr_t base : mapped) VirtualFree(reinterpret_cast<void*>(base), 0, MEM_RELEASE);
        UnloadHelper();
    }
    // The procedural loader never unmaps; the test releases what it mapped.
    std::uintptr_t Load(const Bytes& image, ImportResolver resolver = nullptr, std::uint32_t context = 0) {
        const std::uintptr_t base = LoadMemoryModule(image, resolver, context);
        if (base != 0) mapped.push_back(base);
        return base;
    }

    ProbeLogScope probe;
    std::vector<std::uintptr_t> mapped;
};

TEST_F(MemoryModuleTest, MapsRelocatesBindsAndAttachesWithModuleHandleZero) {
    const int regionsBefore = ExecutableRegionCount();
    const std::uintptr_t base = Load(ProbeImage());
    ASSERT_NE(base, 0u);
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore + 1) << "one execute-read-write region per module";
    EXPECT_EQ(probe.Calls(), "0/1/0") << "one attach call, module handle 0, not the base";
    EXPECT_TRUE(IsCommitted(base));

    // Absolute addresses in the code were relocated to wherever the region landed.
    EXPECT_STREQ(CallExport<const char*>(GetMemoryModuleEntry(base, "Greeting")), "probe greeting");
    int* counter = CallExport<int*>(GetMemoryModuleEntry(base, "Counter"));
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(counter), base);
    EXPECT_LT(reinterpret_cast<std::uintptr_t>(counter), base + AllocationSize(base));
    EXPECT_EQ(*counter, 41);
    // Bound imports: HelperAdd by name, HelperTwice by ordinal only.
    const auto add = reinterpret_cast<int (*)(int, int)>(GetMemoryModuleEntry(base, "AddThroughHelper"));
    EXPECT_EQ(add(2, 3), 10);
    EXPECT_TRUE(LibraryLoaded(HelperLibrary));
}

TEST_F(MemoryModuleTest, LooksEntriesUpByOrdinalAndByWholeName) {
    const std::uintptr_t base = Load(ProbeImage());
    ASSERT_NE(base, 0u);
    const std::uintptr_t attach = GetMemoryModuleEntry(base, "Attach");
    const std::uintptr_t attachRes = GetMemoryModuleEntry(base, "AttachRes");
    ASSERT_NE(attach, 0u);
    ASSERT_NE(attachRes, 0u);
    // A name that is a prefix of another never stands in for it.
    EXPECT_STREQ(CallExport<const char*>(attachRes), "AttachRes");
    EXPECT_STREQ(CallExport<const char*>(attach), "Attach");

    struct Case {
        const char* what;
        std::uintptr_t nameOrOrdinal;
        std::uintptr_t expected;
    };
    const Case cases[] = {
        {"ordinal 1, the export Base, is the first slot", 1, GetMemoryModuleEntry(base, "Greeting")},
        {"ordinal 6", 6, attachRes},
        {"ordinal 5", 5, attach},
        {"empty slot 4", 4, 0},
        {"empty slot 7", 7, 0},
        {"ordinal 0, below Base", 0, 0},
        {"Base + NumberOfFunctions, one past the table", 9, 0},
        {"large unreadable value", 0xFFFF, 0},
        {"other case", reinterpret_cast<std::uintptr_t>("attachres"), 0},
        {"shorter name", reinterpret_cast<std::uintptr_t>("AttachR"), 0},
        {"longer name", reinterpret_cast<std::uintptr_t>("AttachRes2"), 0},
        {"empty name", reinterpret_cast<std::uintptr_t>(""), 0},
        {"name of an ordinal-only export", reinterpret_cast<std::uintptr_t>("Hidden"), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(GetMemoryModuleEntry(base, c.nameOrOrdinal), c.expected) << c.what;
    EXPECT_EQ(CallExport<int>(GetMemoryModuleEntry(base, 8)), 0x5eed) << "ordinal-only export";
}

TEST_F(MemoryModuleTest, EntryLookupRefusesWhatIsNoMappedModule) {
    int onTheStack = 0;
    const std::uintptr_t notModules[] = {0, 0x80000000u, reinterpret_cast<std::uintptr_t>(&onTheStack),
                                         reinterpret_cast<std::uintptr_t>(&onTheStack) & ~0xFFFu, 0x1000};
    for (std::uintptr_t base : notModules) {
        EXPECT_EQ(GetMemoryModuleEntry(base, "Greeting"), 0u) << std::hex << base;
        EXPECT_EQ(GetMemoryModuleEntry(base, 1), 0u) << std::hex << base;
    }
}

TEST_F(MemoryModuleTest, ValidationFailuresAllocateNothing) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> mutate;
    };
    const Case cases[] = {
        {"63 bytes", [](Bytes& image) { image.resize(63); }},
        {"no MZ", [](Bytes& image) { image[1] = 'X'; }},
        {"NT headers past the end", [](Bytes& image) { Put32(image, 0x3C, static_cast<std::uint32_t>(image.size()) - 247); }},
        {"e_lfanew near 4 GiB", [](Bytes& image) { Put32(image, 0x3C, 0xFFFFFFF0u); }},
        {"no PE signature", [](Bytes& image) { image[NtOffset(image) + 1] = 'F'; }},
        {"not an executable image",
         [](Bytes& image) {
             const std::uint32_t at = NtField(image, pe::CharacteristicsAt);
             Put16(image, at, Get16(image, at) & ~IMAGE_FILE_EXECUTABLE_IMAGE);
         }},
        {"section table past the end", [](Bytes& image) { image.resize(SectionHeader(image, SectionCount(image)) - 1); }},
        {"65535 sections", [](Bytes& image) { Put16(image, NtField(image, pe::NumberOfSectionsAt), 0xFFFF); }},
        {"SectionAlignment 0", [](Bytes& image) { Put32(image, NtField(image, pe::SectionAlignmentAt), 0); }},
        {"region too large to exist", [](Bytes& image) { Put32(image, NtField(image, pe::SizeOfImageAt), 0xFFFFF000u); }},
    };
    const int regionsBefore = ExecutableRegionCount();
    for (const Case& c : cases) {
        Bytes image = ProbeImage();
        c.mutate(image);
        EXPECT_EQ(Load(image), 0u) << c.what;
    }
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
    EXPECT_EQ(probe.Calls(), "");
}

TEST_F(MemoryModuleTest, RefusedAttachIsDetachedAndReleased) {
    probe.log.failAttach = 1;
    const int regionsBefore = ExecutableRegionCount();
    EXPECT_EQ(Load(ProbeImage()), 0u);
    EXPECT_EQ(probe.Calls(), "0/1/0 0/0/0");
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
    EXPECT_TRUE(LibraryLoaded(HelperLibrary)) << "the procedural loader keeps the libraries it loaded";
}

TEST_F(MemoryModuleTest, EntryRoutineOutsideTheRegionIsNeverCalled) {
    Bytes image = ProbeImage();
    Put32(image, NtField(image, pe::AddressOfEntryPointAt), 0x00F00000);
    const int regionsBefore = ExecutableRegionCount();
    EXPECT_EQ(Load(image), 0u);
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
}

TEST_F(MemoryModuleTest, ImagesThatAreMappedWithoutAnEntryCall) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> mutate;
    };
    const Case cases[] = {
        {"executable but not a DLL",
         [](Bytes& image) {
             const std::uint32_t at = NtField(image, pe::CharacteristicsAt);
             Put16(image, at, Get16(image, at) & ~IMAGE_FILE_DLL);
         }},
        {"AddressOfEntryPoint 0", [](Bytes& image) { Put32(image, NtField(image, pe::AddressOfEntryPointAt), 0); }},
    };
    for (const Case& c : cases) {
        Bytes image = ProbeImage();
        c.mutate(image);
        const std::uintptr_t base = Load(image);
        ASSERT_NE(base, 0u) << c.what;
        EXPECT_EQ(probe.Calls(), "") << c.what;
        EXPECT_STREQ(CallExport<const char*>(GetMemoryModuleEntry(base, "Greeting")), "probe greeting") << c.what;
        EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(GetMemoryModuleEntry(base, "AddThroughHelper"))(1, 1), 4)
            << c.what;
    }
}

TEST_F(MemoryModuleTest, RegionCoversEverySectionWhenSizeOfImageIsTooSmall) {
    Bytes image = ProbeImage();
    Put32(image, NtField(image, pe::SizeOfImageAt), 0x1000);
    const std::uint32_t last = SectionHeader(image, SectionCount(image) - 1);
    const std::uint32_t lastEnd = Get32(image, last + pe::VirtualAddressAt) +
                                  std::max(Get32(image, last + pe::VirtualSizeAt), Get32(image, last + pe::SizeOfRawDataAt));
    const std::uintptr_t base = Load(image);
    ASSERT_NE(base, 0u);
    EXPECT_EQ(AllocationSize(base), (lastEnd + 0xFFF) & ~0xFFFu);
    EXPECT_STREQ(CallExport<const char*>(GetMemoryModuleEntry(base, "Greeting")), "probe greeting");
}

TEST_F(MemoryModuleTest, SectionWithoutRawDataStaysZero) {
    Bytes image = ProbeImage();
    const std::uint32_t dataSection = SectionHeader(image, SectionOf(image, 0x2000));
    ASSERT_EQ(Get32(image, dataSection + pe::VirtualAddressAt), 0x2000u) << "the probe's .data section moved";
    Put32(image, dataSection + pe::SizeOfRawDataAt, 0);
    const std::uintptr_t base = Load(image);
    ASSERT_NE(base, 0u);
    EXPECT_EQ(*CallExport<int*>(GetMemoryModuleEntry(base, "Counter")), 0) << "the counter's 41 was not copied";
}

TEST_F(MemoryModuleTest, RawDataOutsideTheImageLeavesTheSectionZero) {
    Bytes image = ProbeImage();
    const std::uint32_t dataSection = SectionHeader(image, SectionOf(image, 0x2000));
    Put32(image, dataSection + pe::PointerToRawDataAt, static_cast<std::uint32_t>(image.size()) - 2);
    const std::uintptr_t base = Load(image);
    ASSERT_NE(base, 0u);
    EXPECT_EQ(*CallExport<int*>(GetMemoryModuleEntry(base, "Counter")), 0);
}

TEST_F(MemoryModuleTest, RelocationBlockEndingInAnAbsoluteEntry) {
    // The probe's only block has an odd number of fixups, padded by a type-0 entry.
    const Bytes& image = ProbeImage();
    const std::uint32_t block = RvaToOffset(image, DirectoryRva(image, pe::RelocationDirectory));
    const std::uint32_t blockSize = Get32(image, block + 4);
    ASSERT_EQ(Get16(image, block + blockSize - 2) >> 12, IMAGE_REL_BASED_ABSOLUTE);
    // Give the filler an offset too: it must still change nothing.
    Bytes mutated = image;
    Put16(mutated, block + blockSize - 2, 0x0002);
    for (const Bytes* candidate : {&image, static_cast<const Bytes*>(&mutated)}) {
        const std::uintptr_t base = Load(*candidate);
        ASSERT_NE(base, 0u);
        EXPECT_NE(base, ProbeImageBase) << "the procedural loader never asks for ImageBase";
        EXPECT_STREQ(CallExport<const char*>(GetMemoryModuleEntry(base, "Greeting")), "probe greeting");
    }
}

// Resolvers that record what they were asked, in both calling conventions.
struct ResolverCall {
    std::string library, entry;
    std::uint32_t context;
};
std::vector<ResolverCall> resolverCalls;
int Multiply(int a, int b) { return a * b; }

std::uintptr_t __stdcall RecordingResolver(const char* library, const char* entry, std::uint32_t context) {
    resolverCalls.push_back({library, entry, context});
    return std::string(entry) == "HelperAdd" ? reinterpret_cast<std::uintptr_t>(&Multiply) : 0;
}
std::uintptr_t __cdecl RecordingCdeclResolver(const char* library, const char* entry, std::uint32_t context) {
    return RecordingResolver(library, entry, context);
}

TEST_F(MemoryModuleTest, ResolverIsAskedFirstInEitherCallingConvention) {
    const ImportResolver resolvers[] = {&RecordingResolver,
                                        reinterpret_cast<ImportResolver>(&RecordingCdeclResolver)};
    for (ImportResolver resolver : resolvers) {
        resolverCalls.clear();
        const std::uintptr_t base = Load(ProbeImage(), resolver, 0xC0FFEE);
        ASSERT_NE(base, 0u);
        ASSERT_EQ(resolverCalls.size(), 3u);
        EXPECT_EQ(resolverCalls[0].library, "KERNEL32.dll");
        EXPECT_EQ(resolverCalls[0].entry, "GetEnvironmentVariableA");
        EXPECT_EQ(resolverCalls[1].library, HelperLibrary);
        EXPECT_EQ(resolverCalls[1].entry, "HelperAdd");
        EXPECT_EQ(resolverCalls[2].entry, "2") << "an ordinal import is offered as decimal text";
        for (const ResolverCall& call : resolverCalls) EXPECT_EQ(call.context, 0xC0FFEEu);
        // HelperAdd came from the resolver, HelperTwice from GetProcAddress.
        EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(GetMemoryModuleEntry(base, "AddThroughHelper"))(2, 3), 12);
    }
}

TEST_F(MemoryModuleTest, ResolverAtAnAddressThatCannotRunIsNeverCalled) {
    // A page that cannot be executed (nor read): the guarded call refuses it and the
    // imports come from GetProcAddress alone.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(page, nullptr);
    const std::uintptr_t base = Load(ProbeImage(), reinterpret_cast<ImportResolver>(page), 1);
    VirtualFree(page, 0, MEM_RELEASE);
    ASSERT_NE(base, 0u);
    EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(GetMemoryModuleEntry(base, "AddThroughHelper"))(2, 3), 10);
}

TEST_F(MemoryModuleTest, UnresolvedImportFailsBeforeTheEntryRoutine) {
    ASSERT_FALSE(UnresolvedImage().empty());
    const int regionsBefore = ExecutableRegionCount();
    EXPECT_EQ(Load(UnresolvedImage()), 0u);
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
    EXPECT_TRUE(LibraryLoaded(HelperLibrary)) << "libraries loaded before the failure stay loaded";
}

}  // namespace
