#include "package/unpack_wait.h"

UnpackWaitStep ClassifyUnpackWait(DWORD waitResult, DWORD now, DWORD lastSignOfLife) {
  switch (waitResult) {
    case WAIT_OBJECT_0 + kUnpackEventSuccess:
      return UnpackWorkerDone;
    case WAIT_OBJECT_0 + kUnpackEventFail:
      return UnpackWorkerFailed;
    case WAIT_OBJECT_0 + kUnpackEventAbort:
      return UnpackAborted;
    case WAIT_OBJECT_0 + kUnpackEventCount:
      return UnpackWaitAgain;  // new input or a sent message
    case WAIT_TIMEOUT:
      return (DWORD)(now - lastSignOfLife) < kWatchdogMs ? UnpackWaitAgain : UnpackWorkerSilent;
    default:
      return UnpackWaitBroken;
  }
}
