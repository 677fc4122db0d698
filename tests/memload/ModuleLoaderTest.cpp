// The loader object: Load at ImageBase first, Unload, GetEntry by name or decimal
// ordinal, GetEntryPoint, GetHandle, and the operations that leave the module alone.
#include "TestImages.h"
#include "memload/ModuleLoader.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ModuleLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ProbeImage().empty());
        UnloadHelper();
    }
    void TearDown() override {
        loader.Unload();
        UnloadHelper();
    }

    ProbeLogScope probe;
    ModuleLoader loader;
};

TEST_F(ModuleLoaderTest, LandsAtImageBaseWhenThatRangeIsFree) {
    ASSERT_TRUE(IsReleased(ProbeImageBase)) << "the probe's ImageBase is taken in this process";
    ASSERT_TRUE(loader.Load(ProbeImage()));
    EXPECT_EQ(loader.GetHandle(), ProbeImageBase);
    EXPECT_EQ(probe.Calls(), "0/1/0");
    EXPECT_STREQ(CallExport<const char*>(loader.GetEntry("Greeting")), "probe greeting");
}

TEST_F(ModuleLoaderTest, LandsElsewhereAndIsRelocatedWhenImageBaseIsTaken) {
    ReservedRange taken(ProbeImageBase, 0x10000);
    ASSERT_TRUE(taken.Held());
    ASSERT_TRUE(loader.Load(ProbeImage()));
    EXPECT_NE(loader.GetHandle(), ProbeImageBase);
    EXPECT_STREQ(CallExport<const char*>(loader.GetEntry("Greeting")), "probe greeting");
    EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(loader.GetEntry("AddThroughHelper"))(2, 3), 10);
}

TEST_F(ModuleLoaderTest, LoadingAgainDetachesAndReleasesTheFirstModule) {
    ASSERT_TRUE(loader.Load(ProbeImage()));
    const int regionsWithOne = ExecutableRegionCount();
    ASSERT_TRUE(loader.Load(ProbeImage()));
    EXPECT_EQ(probe.Calls(), "0/1/0 0/0/0 0/1/0");
    EXPECT_EQ(ExecutableRegionCount(), regionsWithOne) << "the first region was released";
    EXPECT_TRUE(IsCommitted(loader.GetHandle()));
}

TEST_F(ModuleLoaderTest, GetEntryTellsPlainDecimalOrdinalsFromNames) {
    ASSERT_TRUE(loader.Load(ProbeImage()));
    const std::uintptr_t attachRes = loader.GetEntry("AttachRes");
    ASSERT_NE(attachRes, 0u);
    EXPECT_STREQ(CallExport<const char*>(attachRes), "AttachRes");
    EXPECT_STREQ(CallExport<const char*>(loader.GetEntry("Attach")), "Attach");

    struct Case {
        Text name;
        std::uintptr_t expected;
    };
    const Case cases[] = {
        {"6", attachRes},  // export Base 1: the sixth slot
        {"06", 0},         // not the plain form: a name, and no such name
        {" 6", 0},
        {"6 ", 0},
        {"+6", 0},
        {"", 0},
        {"-0", 0},
        {"0", 0},
        {"4", 0},   // empty slot
        {"9", 0},   // Base + NumberOfFunctions
        {"-1", 0},
        {"attachres", 0},
        {"Hidden", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(loader.GetEntry(c.name), c.expected) << '"' << c.name << '"';
    EXPECT_EQ(CallExport<int>(loader.GetEntry("8")), 0x5eed);
}

TEST_F(ModuleLoaderTest, EmptyObjectAnswersZeroAndUnloadsTrivially) {
    EXPECT_EQ(loader.GetHandle(), 0u);
    EXPECT_EQ(loader.GetEntry("Greeting"), 0u);
    EXPECT_EQ(loader.GetEntry("1"), 0u);
    EXPECT_EQ(loader.GetEntryPoint(), 0u);
    EXPECT_TRUE(loader.Unload());
    EXPECT_EQ(probe.Calls(), "");
}

TEST_F(ModuleLoaderTest, EntryPointIsHandlePlusAddressOfEntryPoint) {
    ASSERT_TRUE(loader.Load(ProbeImage()));
    const Bytes& image = ProbeImage();
    EXPECT_EQ(loader.GetEntryPoint(), loader.GetHandle() + Get32(image, NtField(image, pe::AddressOfEntryPointAt)));
}

TEST_F(ModuleLoaderTest, UnloadDetachesReleasesAndEmpties) {
    ASSERT_TRUE(loader.Load(ProbeImage()));
    const std::uint32_t base = loader.GetHandle();
    EXPECT_TRUE(loader.Unload());
    EXPECT_EQ(loader.GetHandle(), 0u);
    EXPECT_EQ(probe.Calls(), "0/1/0 0/0/0");
    EXPECT_TRUE(IsReleased(base));
    EXPECT_TRUE(LibraryLoaded(HelperLibrary)) << "the object does not release imported libraries";
}

TEST_F(ModuleLoaderTest, UnloadRefusesAModuleWhoseHeadersLostTheirSignature) {
    ASSERT_TRUE(loader.Load(ProbeImage()));
    auto* mapped = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(loader.GetHandle()));
    mapped[0] = 'X';
    EXPECT_FALSE(loader.Unload());
    EXPECT_NE(loader.GetHandle(), 0u);
    EXPECT_TRUE(IsCommitted(loader.GetHandle()));
    EXPECT_EQ(probe.Calls(), "0/1/0");
    mapped[0] = 'M';
}

TEST_F(ModuleLoaderTest, DestroyAndDuplicateLeaveTheModuleMapped) {
    ASSERT_TRUE(loader.Load(ProbeImage()));
    std::unique_ptr<ModuleLoader> copy(loader.Duplicate());
    EXPECT_EQ(copy->GetHandle(), loader.GetHandle());
    EXPECT_EQ(copy->GetEntry("AttachRes"), loader.GetEntry("AttachRes"));
    copy->Destroy();
    copy.reset();
    EXPECT_TRUE(IsCommitted(loader.GetHandle()));
    EXPECT_EQ(probe.Calls(), "0/1/0") << "no detach call";
}

TEST_F(ModuleLoaderTest, FailedLoadLeavesTheObjectEmpty) {
    probe.log.failAttach = 1;
    const int regionsBefore = ExecutableRegionCount();
    EXPECT_FALSE(loader.Load(ProbeImage()));
    EXPECT_EQ(loader.GetHandle(), 0u);
    EXPECT_EQ(probe.Calls(), "0/1/0 0/0/0");
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);

    probe.log.failAttach = 0;
    EXPECT_FALSE(loader.Load(UnresolvedImage()));
    EXPECT_EQ(loader.GetHandle(), 0u);
    EXPECT_EQ(ExecutableRegionCount(), regionsBefore);
}

}  // namespace
