// What the user-interface thread makes of one wait of the extraction's wait loop.
#ifndef KEPLA_PACKAGE_UNPACK_WAIT_H_
#define KEPLA_PACKAGE_UNPACK_WAIT_H_

#include <windows.h>

// The wait covers the three extraction events, in this order.
const DWORD kUnpackEventSuccess = 0;  // "UNPACK_DATA_SUCCESS": the worker verified its copy
const DWORD kUnpackEventFail = 1;     // "UNPACK_DATA_FAIL": the worker failed
const DWORD kUnpackEventAbort = 2;    // "UNPACK_DATA_ABORT": set by another process
const DWORD kUnpackEventCount = 3;

// Both the wait time-out and the age at which the worker counts as stuck.
const DWORD kWatchdogMs = 5000;

enum UnpackWaitStep {
  UnpackWaitAgain,     // input arrived, or the worker showed life recently: drain and wait again
  UnpackWorkerDone,    // the worker reported success
  UnpackWorkerFailed,  // the worker reported failure (it touches nothing of ours any more)
  UnpackAborted,       // another process asked to stop: the worker is still running
  UnpackWorkerSilent,  // time-out with a sign of life kWatchdogMs old or older: terminate it
  UnpackWaitBroken,    // the wait itself failed: the worker is still running
};

// Classifies the result of MsgWaitForMultipleObjectsEx over the three events. `now`,
// `lastSignOfLife` and `startedAt` (when the extraction began) are GetTickCount values; their
// differences are taken modulo 2^32, so a wrapping tick count is harmless. Pure.
//
// The worker counts as silent when its sign of life is kWatchdogMs old or older, whether the
// wait timed out or woke for input: the keep-awake timer alone wakes this wait every 5000 ms, so
// a watchdog looked at only on time-outs would never bite. A wake-up for input in the first
// kWatchdogMs of the extraction never counts (the worker may not have run yet).
UnpackWaitStep ClassifyUnpackWait(DWORD waitResult, DWORD now, DWORD lastSignOfLife,
                                  DWORD startedAt);

#endif  // KEPLA_PACKAGE_UNPACK_WAIT_H_
