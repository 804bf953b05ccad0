#include "app/keep_awake.h"

#include <windows.h>
#include <pm.h>

namespace {

const UINT kIdleResetPeriodMs = 5000;

}  // namespace

UINT_PTR KeepAwake::timerId = 0;
HANDLE KeepAwake::powerRequirement = NULL;

void KeepAwake::Start() {
  if (timerId != 0 || powerRequirement != NULL) return;
  timerId = SetTimer(NULL, 0, kIdleResetPeriodMs, OnTimer);
  powerRequirement =
      SetPowerRequirement(const_cast<LPWSTR>(TEXT("BKL1:")), D0, POWER_NAME, NULL, 0);
}

void KeepAwake::Stop() {
  if (timerId != 0) {
    KillTimer(NULL, timerId);
    timerId = 0;
  }
  if (powerRequirement != NULL) {
    ReleasePowerRequirement(powerRequirement);
    powerRequirement = NULL;
  }
}

void CALLBACK KeepAwake::OnTimer(HWND, UINT, UINT_PTR, DWORD) { SystemIdleTimerReset(); }
