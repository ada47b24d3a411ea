// The library's chief file: the process-wide port use counters and the
// "Library Error" path.
#include "comlink.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace zamel {
namespace {

std::array<std::uint16_t, kPortIndexCount> portUse{};

void printToStandardError(const char* title, const char* text) {
    std::fprintf(stderr, "%s: %s\n", title, text);
}

LibraryErrorHook libraryErrorHook = printToStandardError;

bool inTable(int portIndex) { return portIndex >= 0 && portIndex < kPortIndexCount; }

}  // namespace

std::uint16_t portUseCount(int portIndex) {
    return inTable(portIndex) ? portUse[static_cast<std::size_t>(portIndex)] : 0;
}

bool raisePortUse(int portIndex) {
    if (!inTable(portIndex)) return false;
    ++portUse[static_cast<std::size_t>(portIndex)];
    return true;
}

void lowerPortUse(int portIndex) {
    if (inTable(portIndex) && portUse[static_cast<std::size_t>(portIndex)] > 0) {
        --portUse[static_cast<std::size_t>(portIndex)];
    }
}

void setLibraryErrorHook(LibraryErrorHook hook) {
    libraryErrorHook = hook != nullptr ? hook : printToStandardError;
}

void reportPureVirtualCall(int line) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Pure Virtual function called @%s,%d\nUnable to continue execution", "COMLINK",
                  line);
    libraryErrorHook("Library Error", text);
    std::exit(1);
}

}  // namespace zamel
