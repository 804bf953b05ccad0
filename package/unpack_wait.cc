#include "package/unpack_wait.h"

UnpackWaitStep ClassifyUnpackWait(DWORD waitResult, DWORD now, DWORD lastSignOfLife,
                                  DWORD startedAt) {
  switch (waitResult) {
    case WAIT_OBJECT_0 + kUnpackEventSuccess:
      return UnpackWorkerDone;
    case WAIT_OBJECT_0 + kUnpackEventFail:
      return UnpackWorkerFailed;
    case WAIT_OBJECT_0 + kUnpackEventAbort:
      return UnpackAborted;
    case WAIT_OBJECT_0 + kUnpackEventCount:  // new input, a timer or a sent message
      if ((DWORD)(now - startedAt) < kWatchdogMs) return UnpackWaitAgain;
      return (DWORD)(now - lastSignOfLife) < kWatchdogMs ? UnpackWaitAgain : UnpackWorkerSilent;
    case WAIT_TIMEOUT:
      return (DWORD)(now - lastSignOfLife) < kWatchdogMs ? UnpackWaitAgain : UnpackWorkerSilent;
    default:
      return UnpackWaitBroken;
  }
}
