// STUB entry point until the application shell lands.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; }
