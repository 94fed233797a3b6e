// loadlib.exe NAME
//
// Loads a library by the name given, with the ordinary search order
// (the program's folder first), the way a careless program would, and exits
// with 0 when it loaded, else with the Windows error code. The tests use it
// beside a planted library to prove that the plant is found and recorded
// when a program does search its own folder.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: loadlib.exe NAME\n");
        return 255;
    }
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) {
        DWORD error = GetLastError();
        std::fprintf(stderr, "loadlib.exe: LoadLibrary(%s) failed, error %lu\n", argv[1], error);
        return static_cast<int>(error ? error : 1);
    }
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) std::printf("%s\n", path);
    return 0;
}
