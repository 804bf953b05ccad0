// The device's entry point: the device host calls WinMain on the program's first thread.
#include "conformance.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int) {
  return ConformanceMain(hInstance, lpCmdLine != NULL ? lpCmdLine : TEXT(""));
}
