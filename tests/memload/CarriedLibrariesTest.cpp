// The carried library images: the properties the loaders rely on, the start-up mapping
// of the TCP library, and both libraries working once mapped from memory.
#include "TestImages.h"
#include "libs/EmbeddedImages.h"
#include "memload/CompactModule.h"
#include "memload/EmbeddedModules.h"
#include "memload/MemoryModule.h"
#include "memload/ModuleLoader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

Bytes Copy(const EmbeddedImage& image) { return image.ToBytes(); }

struct CarriedImage {
    const char* moduleName;
    const EmbeddedImage* image;
    std::uint32_t numberOfFunctions;  // at least
    bool named;
};

TEST(CarriedLibrariesTest, ImagesHaveThePropertiesTheLoadersRelyOn) {
    const CarriedImage images[] = {
        {"etcp.dll", &TcpLibraryImage, 13, false},
        {"zlibwapi.dll", &ZlibImage, 22, true},
    };
    for (const CarriedImage& carried : images) {
        SCOPED_TRACE(carried.moduleName);
        // Stored as a 32-bit 1, the 32-bit length, then the bytes.
        std::uint32_t marker, length;
        std::memcpy(&marker, carried.image->stored, 4);
        std::memcpy(&length, carried.image->stored + 4, 4);
        EXPECT_EQ(marker, 1u);
        EXPECT_EQ(length, carried.image->size());
        const Bytes image = Copy(*carried.image);
        ASSERT_GT(image.size(), 1024u);

        EXPECT_EQ(Get16(image, 0), IMAGE_DOS_SIGNATURE);
        EXPECT_EQ(Get32(image, NtField(image, pe::SignatureAt)), IMAGE_NT_SIGNATURE);
        EXPECT_EQ(Get16(image, NtField(image, pe::MachineAt)), IMAGE_FILE_MACHINE_I386);
        EXPECT_TRUE(Get16(image, NtField(image, pe::CharacteristicsAt)) & IMAGE_FILE_DLL);
        EXPECT_EQ(Get16(image, NtField(image, pe::SizeOfOptionalHeaderAt)), 224);
        EXPECT_EQ(Get32(image, NtField(image, pe::ImageBaseAt)), 0x10000000u);
        EXPECT_EQ(Get32(image, NtField(image, pe::SectionAlignmentAt)), 0x1000u);
        EXPECT_NE(Get32(image, NtField(image, pe::AddressOfEntryPointAt)), 0u);
        EXPECT_EQ(DirectoryRva(image, IMAGE_DIRECTORY_ENTRY_TLS), 0u) << "no thread-local storage";
        EXPECT_EQ(DirectoryBytes(image, IMAGE_DIRECTORY_ENTRY_TLS), 0u);

        // Relocation blocks, then a zero word where the next block would start.
        const std::uint32_t relocations = DirectoryRva(image, pe::RelocationDirectory);
        ASSERT_NE(DirectoryBytes(image, pe::RelocationDirectory), 0u);
        std::uint32_t block = RvaToOffset(image, relocations);
        while (Get32(image, block) != 0) block += Get32(image, block + 4);
        EXPECT_EQ(block, RvaToOffset(image, relocations + DirectoryBytes(image, pe::RelocationDirectory)));

        const std::uint32_t exports = RvaToOffset(image, DirectoryRva(image, pe::ExportDirectory));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()) +
                              RvaToOffset(image, Get32(image, exports + offsetof(IMAGE_EXPORT_DIRECTORY, Name)))),
                  carried.moduleName);
        EXPECT_EQ(Get32(image, exports + pe::ExportBaseAt), 1u);
        EXPECT_GE(Get32(image, exports + pe::NumberOfFunctionsAt), carried.numberOfFunctions);
        EXPECT_EQ(Get32(image, exports + pe::NumberOfNamesAt) != 0, carried.named);
    }
}

TEST(CarriedLibrariesTest, TcpLibraryIsMappedAtStartUpWithItsThirteenEntries) {
    MapTcpLibrary();
    ASSERT_GT(TcpLibraryBase, 0);
    std::set<std::uintptr_t> distinct;
    for (std::uintptr_t entry : TcpLibraryEntries) {
        EXPECT_GT(entry, static_cast<std::uintptr_t>(TcpLibraryBase));
        distinct.insert(entry);
    }
    EXPECT_EQ(distinct.size(), 13u);
    EXPECT_EQ(GetMemoryModuleEntry(TcpLibraryBase, 14), 0u);
}

// The mapped TCP library carries a loopback conversation through its own entries.
TEST(CarriedLibrariesTest, MappedTcpLibraryTalksOverLoopback) {
    const std::uintptr_t base = LoadMemoryModule(TcpLibraryImage.Span());
    ASSERT_NE(base, 0u);
    auto entry = [&](std::uintptr_t ordinal) { return GetMemoryModuleEntry(base, ordinal); };
    const auto startup = reinterpret_cast<int(__stdcall*)()>(entry(1));
    const auto cleanup = reinterpret_cast<int(__stdcall*)()>(entry(2));
    const auto connectTo = reinterpret_cast<int(__stdcall*)(const char*, int)>(entry(3));
    const auto listenOn = reinterpret_cast<int(__stdcall*)(const char*, int, int)>(entry(4));
    const auto acceptFrom = reinterpret_cast<int(__stdcall*)(int, char*, int*)>(entry(5));
    const auto sendAll = reinterpret_cast<int(__stdcall*)(int, const void*, int)>(entry(6));
    const auto receive = reinterpret_cast<int(__stdcall*)(int, void*, int)>(entry(7));
    const auto closeSocket = reinterpret_cast<int(__stdcall*)(int)>(entry(8));
    const auto localPort = reinterpret_cast<int(__stdcall*)(int)>(entry(9));
    const auto setTimeout = reinterpret_cast<int(__stdcall*)(int, int, int)>(entry(10));
    const auto waitReadable = reinterpret_cast<int(__stdcall*)(int, int)>(entry(12));

    ASSERT_EQ(startup(), 1);
    const int listener = listenOn("127.0.0.1", 0, 1);
    ASSERT_NE(listener, -1);
    const int port = localPort(listener);
    ASSERT_GT(port, 0);
    const int client = connectTo("127.0.0.1", port);
    ASSERT_NE(client, -1);
    char peer[16] = "unset";
    int peerPort = 0;
    const int server = acceptFrom(listener, peer, &peerPort);
    ASSERT_NE(server, -1);
    EXPECT_STREQ(peer, "127.0.0.1");
    EXPECT_EQ(peerPort, localPort(client));
    EXPECT_EQ(setTimeout(server, 5000, 5000), 1);

    EXPECT_EQ(sendAll(client, "ping", 4), 4);
    EXPECT_EQ(waitReadable(server, 5000), 1);
    char received[8] = {};
    EXPECT_EQ(receive(server, received, sizeof received), 4);
    EXPECT_STREQ(received, "ping");
    closeSocket(client);
    EXPECT_EQ(receive(server, received, sizeof received), 0) << "the peer closed";
    closeSocket(server);
    closeSocket(listener);
    EXPECT_EQ(connectTo("127.0.0.1", port), -1) << "nobody listens any more";
    cleanup();
    VirtualFree(reinterpret_cast<void*>(base), 0, MEM_RELEASE);
}

TEST(CarriedLibrariesTest, ZlibEntriesByOrdinalAreTheNamedInflateRoutines) {
    const std::uintptr_t base = LoadCompactModule(ZlibImage.data(), static_cast<std::uint32_t>(ZlibImage.size()));
    ASSERT_NE(base, 0u);
    const struct {
        std::uintptr_t ordinal;
        const char* name;
    } entries[] = {{19, "inflate"}, {20, "inflateEnd"}, {21, "inflateInit2_"}, {22, "inflateInit_"}};
    for (const auto& e : entries) {
        EXPECT_NE(GetCompactModuleEntry(base, e.ordinal), 0u) << e.name;
        EXPECT_EQ(GetCompactModuleEntry(base, e.ordinal), GetCompactModuleEntry(base, e.name)) << e.name;
    }
    // A round trip through the mapped library's standard-call entries.
    const auto compressBound = reinterpret_cast<uLong(__stdcall*)(uLong)>(GetCompactModuleEntry(base, "compressBound"));
    const auto compress = reinterpret_cast<int(__stdcall*)(Bytef*, uLongf*, const Bytef*, uLong)>(
        GetCompactModuleEntry(base, "compress"));
    const auto uncompress = reinterpret_cast<int(__stdcall*)(Bytef*, uLongf*, const Bytef*, uLong)>(
        GetCompactModuleEntry(base, "uncompress"));
    ASSERT_TRUE(compressBound && compress && uncompress);
    const std::string text(5000, 'q');
    Bytes packed(compressBound(text.size()));
    uLongf packedSize = packed.size();
    ASSERT_EQ(compress(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(text.data()), text.size()), Z_OK);
    std::string unpacked(text.size(), '\0');
    uLongf unpackedSize = unpacked.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(unpacked.data()), &unpackedSize, packed.data(), packedSize), Z_OK);
    EXPECT_EQ(unpacked, text);
    FreeCompactModule(base);
    EXPECT_TRUE(IsReleased(base));
}

TEST(CarriedLibrariesTest, EveryLoaderMapsBothImagesAtDistinctBases) {
    std::set<std::uintptr_t> bases;
    std::vector<std::uintptr_t> compact, procedural;
    ModuleLoader objects[2];
    int i = 0;
    for (const EmbeddedImage* image : {&ZlibImage, &TcpLibraryImage}) {
        compact.push_back(LoadCompactModule(image->data(), static_cast<std::uint32_t>(image->size())));
        procedural.push_back(LoadMemoryModule(image->Span()));
        EXPECT_TRUE(objects[i].Load(image->Span()));
        bases.insert({compact.back(), procedural.back(), objects[i].GetHandle()});
        ++i;
    }
    bases.erase(0);
    EXPECT_EQ(bases.size(), 6u);
    for (std::uintptr_t base : compact) FreeCompactModule(base);
    for (std::uintptr_t base : procedural) VirtualFree(reinterpret_cast<void*>(base), 0, MEM_RELEASE);
    for (ModuleLoader& object : objects) EXPECT_TRUE(object.Unload());
}

}  // namespace
