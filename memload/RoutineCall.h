#pragma once
// Calls into mapped modules: entry routines and import resolvers are only addresses,
// and either calling convention of the 32-bit world must work through them.

#include <cstdint>
#include <initializer_list>

// Calls the routine at `address` with the 32-bit `arguments`, first argument at the
// lowest address as both conventions expect, and answers its 32-bit result. The stack
// pointer is put back after the call, so a routine that removes its arguments
// (standard call) and one that leaves them to the caller (C call) both work.
std::uint32_t CallRoutine(std::uintptr_t address, std::initializer_list<std::uint32_t> arguments);

// As CallRoutine, but only when `address` is not 0 and IsBadCodePtr accepts it;
// otherwise nothing is called and the result is 0.
std::uint32_t GuardedCall(std::uintptr_t address, std::initializer_list<std::uint32_t> arguments);
