// A library that does nothing but carry a version resource (versioned.rc);
// it loads, so it also serves probes that ask for the file to load.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" __declspec(dllexport) int VersionedMarker() { return 1; }
