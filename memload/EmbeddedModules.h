#pragma once
// The carried TCP library, mapped at start-up with the procedural loader. Its entries
// are kept but nothing in the program calls them.

#include <cstdint>

inline constexpr int TcpLibraryEntryCount = 13;

// Base of the mapped TCP library; 0 (or negative) when mapping failed.
extern std::int32_t TcpLibraryBase;
// Entries for the ordinals 1 to 13, index 0 holding ordinal 1; all 0 when mapping failed.
extern std::uintptr_t TcpLibraryEntries[TcpLibraryEntryCount];

// Maps TcpLibraryImage with LoadMemoryModule and fetches its entries 1 to 13.
// Failures are not reported: the base and the entries simply stay 0.
void MapTcpLibrary();
