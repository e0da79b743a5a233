// A program that binds the debug channel as start-up does, writes one line and
// unbinds. debug_test copies it into folders with and without a debug library
// and reads the outcome from the exit code:
//   16 + 1 (export bound) + 2 (library held) + 4 (the line call returned > 0)
//      + 8 (after unbinding: fallback in place and no library held)
#include "core/debug.h"

int main() {
    int code = 16;
    if (BindDebugOutput()) code |= 1;
    if (DebugOutputLibrary()) code |= 2;
    if (DebugPrint(L"probe %s %d\n", L"line", 7) > 0) code |= 4;
    UnbindDebugOutput();
    if (DebugPrint == DebugOutputFallback && !DebugOutputLibrary()) code |= 8;
    return code;
}
