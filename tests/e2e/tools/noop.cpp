// noop.exe: a windowed program that starts and exits with 0, nothing else.
// scripts/benchmark.py sets setup.exe's start-up against it: what is left is
// the program's own cost, above what any process start costs under Wine.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
