// A library the dependent debug library imports: the debug channel's tests
// plant copies of it where a library's dependencies must not be looked up.
#include <windows.h>

extern "C" __declspec(dllexport) int debugdep_width() { return 1; }
