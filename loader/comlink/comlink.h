#pragma once

#include <cstdint>

namespace zamel {

// Process-wide use counters, one per port index, so that one program never
// opens a port twice. Not locked: the library runs on one thread.
inline constexpr int kPortIndexCount = 256;

// 0 for an index outside the table.
std::uint16_t portUseCount(int portIndex);
// False for an index outside the table.
bool raisePortUse(int portIndex);
void lowerPortUse(int portIndex);

// A program error inside the library (an operation the abstract device leaves
// open was called). The hook shows the title and text; the library then ends
// the program with exit code 1. The default hook prints to standard error, so
// the library needs no window code; the program installs its own.
using LibraryErrorHook = void (*)(const char* title, const char* text);
// nullptr puts the default hook back.
void setLibraryErrorHook(LibraryErrorHook hook);
// Shows "Library Error" / "Pure Virtual function called @COMLINK,<line>..." and exits(1).
[[noreturn]] void reportPureVirtualCall(int line);

}  // namespace zamel
