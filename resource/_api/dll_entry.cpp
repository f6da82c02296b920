// The operating system's entry point of the Windows module: every notification is accepted. The
// runtime constructs the module-wide objects before it and runs their clean-up at unload.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
