// The extraction: a worker copies the package into the image while the user-interface thread
// dispatches messages and watches it.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <new>

#include "package/data_unpacker.h"
#include "package/text_bounds.h"
#include "package/unpack_wait.h"

namespace {

const WCHAR kEventSuccess[] = TEXT("UNPACK_DATA_SUCCESS");
const WCHAR kEventFail[] = TEXT("UNPACK_DATA_FAIL");
const WCHAR kEventAbort[] = TEXT("UNPACK_DATA_ABORT");

const DWORD kChunkBytes = 0x7FFF;
const DWORD kProgressSteps = 90;
const DWORD kSettleSeconds = 10;
const DWORD kSecondMs = 1000;
const WPARAM kProgressFull = 100;
const DWORD kTerminatedExitCode = 0xFFFFFFFF;

// Reads exactly `bytes` bytes; a read that delivers fewer counts as failed.
BOOL ReadExactly(HANDLE file, LPBYTE buffer, DWORD bytes) {
  DWORD read = 0;
  return ReadFile(file, buffer, bytes, &read, NULL) && read == bytes;
}

// Writes exactly `bytes` bytes; a write that takes fewer counts as failed.
BOOL WriteExactly(HANDLE file, const BYTE* buffer, DWORD bytes) {
  DWORD written = 0;
  return WriteFile(file, buffer, bytes, &written, NULL) && written == bytes;
}

// Buffers that terminated workers may still be reading into. They are never freed (the process
// gives them back when it ends) and stay reachable from here. User-interface thread only.
struct KeptBuffer {
  LPBYTE buffer;
  KeptBuffer* next;
};
KeptBuffer* g_keptBuffers = NULL;

void KeepForever(LPBYTE buffer) {
  KeptBuffer* kept = new (std::nothrow) KeptBuffer;
  if (kept == NULL) return;  // it is simply lost
  kept->buffer = buffer;
  kept->next = g_keptBuffers;
  g_keptBuffers = kept;
}

}  // namespace

BOOL DataUnpacker::UnpackData(HWND bar) {
  HCURSOR savedCursor = SetCursor(LoadCursorW(NULL, IDC_WAIT));

  HANDLE events[kUnpackEventCount];
  events[kUnpackEventSuccess] = CreateEventW(NULL, FALSE, FALSE, kEventSuccess);
  events[kUnpackEventFail] = CreateEventW(NULL, FALSE, FALSE, kEventFail);
  events[kUnpackEventAbort] = CreateEventW(NULL, FALSE, FALSE, kEventAbort);

  progressBar = bar;
  abandoned.store(FALSE, std::memory_order_relaxed);
  const DWORD startedAt = GetTickCount();
  HANDLE worker = CreateThread(NULL, 0, UnpackThread, this, 0, NULL);

  BOOL succeeded = FALSE;
  for (BOOL waiting = TRUE; waiting;) {
    DrainMessages();
    DWORD result =
        MsgWaitForMultipleObjectsEx(kUnpackEventCount, events, kWatchdogMs, QS_ALLINPUT, 0);
    switch (ClassifyUnpackWait(result, GetTickCount(), watchdogTick.load(std::memory_order_relaxed),
                               startedAt)) {
      case UnpackWaitAgain:
        break;
      case UnpackWorkerDone:
        succeeded = TRUE;
        waiting = FALSE;
        break;
      case UnpackWorkerFailed:
        waiting = FALSE;
        break;
      case UnpackWorkerSilent:
        // The image stays open in the terminated worker: RemoveOutput can only cut it to zero.
        if (worker != NULL) TerminateWorker(worker, FALSE);
        waiting = FALSE;
        break;
      case UnpackAborted:
      case UnpackWaitBroken:
        // The worker has not reported: it must stop before its image can be removed.
        if (worker != NULL) AbandonWorker(worker);
        waiting = FALSE;
        break;
    }
  }

  for (int i = kUnpackEventCount - 1; i >= 0; i--) {
    if (events[i] != NULL) CloseHandle(events[i]);
  }
  if (!succeeded) RemoveOutput();
  if (worker != NULL) CloseHandle(worker);
  SetCursor(savedCursor);
  return succeeded;
}

void DataUnpacker::DrainMessages() {
  MSG message;
  while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
    if (message.message != WM_QUIT) DispatchMessageW(&message);
  }
}

void DataUnpacker::AbandonWorker(HANDLE worker) {
  abandoned.store(TRUE, std::memory_order_relaxed);
  DWORD start = GetTickCount();
  for (;;) {
    DrainMessages();
    DWORD waited = GetTickCount() - start;
    if (waited >= kWatchdogMs) break;
    DWORD result = MsgWaitForMultipleObjectsEx(1, &worker, kWatchdogMs - waited, QS_ALLINPUT, 0);
    if (result == WAIT_OBJECT_0) return;  // it has ended
    if (result != WAIT_OBJECT_0 + 1) break;
  }
  // The user was told the preparation failed: no image may stay, so its handle is taken from
  // the worker and closed.
  TerminateWorker(worker, TRUE);
}

void DataUnpacker::TerminateWorker(HANDLE worker, BOOL closeOutput) {
  TerminateThread(worker, kTerminatedExitCode);
  LPBYTE left = copyBuffer.exchange(NULL);
  if (left != NULL) KeepForever(left);
  // The verification's handles go in every case: an image held open without sharing could be
  // neither deleted nor cut, and would stay whole but unverified.
  ClosePublished(checkedOutput);
  ClosePublished(openInput);
  if (closeOutput) ClosePublished(openOutput);
}

HANDLE DataUnpacker::OpenPublished(std::atomic<HANDLE>& slot, LPCWSTR path, DWORD access,
                                   DWORD share, DWORD disposition, DWORD attributes) {
  HANDLE file = CreateFileW(path, access, share, NULL, disposition, attributes, NULL);
  if (file != INVALID_HANDLE_VALUE) slot.store(file);
  return file;
}

void DataUnpacker::ClosePublished(std::atomic<HANDLE>& slot) {
  HANDLE file = slot.exchange(NULL);
  if (file != NULL) CloseHandle(file);
}

DWORD WINAPI DataUnpacker::UnpackThread(LPVOID parameter) {
  DataUnpacker* unpacker = (DataUnpacker*)parameter;
  BOOL result = FALSE;

  // The package is searched for again; it must still be the one whose trailer was checked.
  WCHAR name[MAX_PATH];
  WCHAR inputPath[MAX_PATH];
  unpacker->FindPackageName(name);
  if (JoinPath(inputPath, unpacker->programDir, name) &&
      PreparedImagePath(unpacker->cardRoot, unpacker->outputPath)) {
    if (_wcsicmp(inputPath, unpacker->outputPath) == 0) {
      // The package itself bears the image's name (the program sits in the card's root): the
      // image would overwrite it. Nothing is written, and nothing may be removed.
      unpacker->outputPath[0] = 0;
    } else if (wcscmp(inputPath, unpacker->packagePath) == 0) {
      result = unpacker->CopyPackage(unpacker->outputPath, inputPath);
    }
  }

  if (unpacker->Abandoned()) {
    // Nobody waits for a report any more; what was written must not stay.
    unpacker->RemoveOutput();
    return 0;
  }
  // From here on the object may be deleted at any time: touch nothing of it.
  HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, result ? kEventSuccess : kEventFail);
  if (event != NULL) {
    SetEvent(event);
    CloseHandle(event);
  }
  return 0;
}

BOOL DataUnpacker::CopyPackage(LPCWSTR outputFile, LPCWSTR inputFile) {
  // Each handle is published as soon as it exists: a worker stopped in the next open must not
  // leave the image open behind it. The image is shared with nobody while it is written: another
  // copy of the program could otherwise replace or cut it under this one (its failed check cuts
  // the image it cannot open), and this copy's check of the size would pass over the hole.
  HANDLE output =
      OpenPublished(openOutput, outputFile, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  HANDLE input =
      OpenPublished(openInput, inputFile, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  StampSignOfLife();

  BOOL copied = FALSE;
  DWORD high = 0;
  DWORD size = 0;
  if (output != INVALID_HANDLE_VALUE && input != INVALID_HANDLE_VALUE) {
    size = GetFileSize(input, &high);
  }
  PackageHeader found;
  // Refused: a size that cannot be had or does not fit 32 bits, a package too small to hold a
  // first block and a trailer, and a package other than the one whose header was checked.
  if (size != INVALID_FILE_SIZE && high == 0 && size >= kSmallestPackageBytes &&
      ReadPackageHeader(input, size, &found) && memcmp(&found, &header, sizeof(header)) == 0 &&
      SetFilePointer(input, 0, NULL, FILE_BEGIN) == 0) {
    DWORD stepBytes = size / kProgressSteps;
    DWORD sinceStep = 0;
    DWORD chunk = size < kChunkBytes ? size : kChunkBytes;
    DWORD remaining = size - kTrailerBytes;

    LPBYTE buffer = new (std::nothrow) BYTE[chunk];
    copyBuffer.store(buffer);
    if (buffer != NULL) {
      if (!Abandoned() && ReadExactly(input, buffer, kFirstBlockBytes) &&
          descramble(buffer, kFirstBlockBytes) && WriteExactly(output, buffer, kFirstBlockBytes)) {
        StampSignOfLife();
        remaining -= kFirstBlockBytes;
        SendMessageW(progressBar, PBM_STEPIT, 0, 0);

        while (remaining >= chunk && !Abandoned()) {
          StampSignOfLife();
          if (!ReadExactly(input, buffer, chunk) || !WriteExactly(output, buffer, chunk)) break;
          sinceStep += chunk;
          remaining -= chunk;
          if (sinceStep >= stepBytes) {
            SendMessageW(progressBar, PBM_STEPIT, 0, 0);
            sinceStep = 0;
          }
        }
        if (remaining > 0 && remaining < chunk && !Abandoned()) {
          StampSignOfLife();
          if (ReadExactly(input, buffer, remaining) && WriteExactly(output, buffer, remaining)) {
            remaining = 0;
          }
        }
        StampSignOfLife();
        SetEndOfFile(output);
        copied = remaining == 0;
      }
      // NULL when the user-interface thread has taken it from a terminated worker.
      delete[] copyBuffer.exchange(NULL);
    }
  }

  // A slot is empty when the user-interface thread has taken its handle from a terminated worker.
  ClosePublished(openInput);
  ClosePublished(openOutput);

  Settle();
  if (!copied || Abandoned()) return FALSE;
  return VerifyOutput(outputFile, inputFile);
}

void DataUnpacker::Settle() {
  for (DWORD i = 0; i < kSettleSeconds; i++) {
    if (Abandoned()) return;
    StampSignOfLife();
    Sleep(kSecondMs);
  }
  if (Abandoned()) return;
  SendMessageW(progressBar, PBM_SETPOS, kProgressFull, 0);
  Sleep(kSecondMs);
}

BOOL DataUnpacker::VerifyOutput(LPCWSTR outputFile, LPCWSTR inputFile) {
  HANDLE output = OpenPublished(checkedOutput, outputFile, GENERIC_READ, 0, OPEN_EXISTING,
                                FILE_ATTRIBUTE_HIDDEN);
  HANDLE input =
      OpenPublished(openInput, inputFile, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  BOOL verified = FALSE;
  if (output != INVALID_HANDLE_VALUE && input != INVALID_HANDLE_VALUE) {
    DWORD outputSize = GetFileSize(output, NULL);
    DWORD inputSize = GetFileSize(input, NULL);
    verified = outputSize != INVALID_FILE_SIZE && inputSize != INVALID_FILE_SIZE &&
               inputSize >= kTrailerBytes && outputSize == inputSize - kTrailerBytes;
  }
  ClosePublished(openInput);
  ClosePublished(checkedOutput);
  return verified;
}

void DataUnpacker::RemoveOutput() {
  if (outputPath[0] == 0) return;
  if (DeleteFileW(outputPath)) return;
  HANDLE output = CreateFileW(outputPath, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_HIDDEN, NULL);
  if (output != INVALID_HANDLE_VALUE) {
    CloseHandle(output);
    return;
  }
  // A worker terminated by the watchdog still holds the image it was writing, shared with
  // nobody: it is cut through that handle, which stays open as the terminated thread's. An image
  // that another program holds is left to it.
  HANDLE held = openOutput.load();
  if (held != NULL && SetFilePointer(held, 0, NULL, FILE_BEGIN) == 0) SetEndOfFile(held);
}
