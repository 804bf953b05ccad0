// The program's one data object: where the package and the card are, the package's header, the
// device's identity, and the extraction of the package into the bootloader image.
//
// Threads: the user-interface thread makes the object, runs Load and UnpackData, and deletes it.
// During UnpackData one worker thread runs UnpackThread with the object as its parameter; it
// reads the paths and the header (written before it starts), writes `outputPath`,
// `watchdogTick`, `copyBuffer` and the three open-file slots, and reads `abandoned`. UnpackData
// returns only once the worker will touch the object no more, so the object may be deleted as
// soon as it has returned: the worker has reported (it touches nothing after setting its
// event), or it has ended after being abandoned, or it was terminated. A worker is terminated
// only after kWatchdogMs without a sign of life, which it gives around every platform call, so
// it is stopped inside one; the chunk buffer that call may still be filling is kept for the life
// of the process, and the files it had open are closed for it.
#ifndef KEPLA_PACKAGE_DATA_UNPACKER_H_
#define KEPLA_PACKAGE_DATA_UNPACKER_H_

#include <windows.h>

#include <atomic>

#include "package/card_paths.h"
#include "package/descramble.h"
#include "package/device_identity.h"
#include "package/package_header.h"
#include "package/unpacker_base.h"

class DataUnpacker final : public UnpackerBase {
 public:
  // Finds the card root, the program's folder and the package (the first file of that folder
  // whose name contains ".bin"). Opens no file. Fails silently: what could not be found stays
  // empty, and `packagePath` is the folder alone when there is no package.
  DataUnpacker();
  DataUnpacker(const DataUnpacker&) = delete;
  DataUnpacker& operator=(const DataUnpacker&) = delete;

  // Reads the package's trailer into the header, then asks the device for its identity. Run
  // once; what failed shows as empty fields.
  void Load() override;
  void Unload() override;

  // Fills the header from the package's trailer; leaves it all zero when the package is
  // missing, too small (512 bytes or less, or 4 GiB and more) or unreadable.
  void ReadTrailer();
  // Asks the OEM layer for the device's identity (the I/O control through COREDLL.DLL); leaves
  // the identity all zero when it cannot be asked or refuses.
  void QueryDeviceIdentity();

  // The package's header and the device's identity; every field is a terminated text of at most
  // 31 characters (the header's `code`: 127). Owned by this object.
  const PackageHeader* Header() const { return &header; }
  const DeviceIdentity* Identity() const { return &identity; }

  // Writes the name (without folder) of the first entry of the program's folder whose name
  // contains ".bin" (case-sensitive; folders count too) into `name` (MAX_PATH characters), in
  // the file system's order. Returns TRUE when one was found; `name` is empty otherwise. Any
  // thread may call: it reads only `programDir`.
  BOOL FindPackageName(LPWSTR name);

  // Writes the image: runs the worker and, on this user-interface thread, dispatches messages
  // and waits for its end, stepping the progress bar `bar` (range 0 to 100, step 1) meanwhile.
  // Returns TRUE when the image was written and verified. On FALSE the image is removed: the
  // files a stopped worker had open are closed for it and the image deleted, except that the
  // image a worker was still writing when the watchdog terminated it stays open and is cut to
  // zero length. The worker is gone: it reported its failure, or it stopped at its next chunk
  // after being abandoned, or it was terminated after kWatchdogMs without a sign of life. Runs
  // once per object.
  BOOL UnpackData(HWND bar);

  // The worker's entry; `parameter` is the DataUnpacker. Returns 0.
  static DWORD WINAPI UnpackThread(LPVOID parameter);

  // Copies the package at `inputPath` into the image at `outputPath` (hidden, replacing an old
  // one), descrambling its first 2048 bytes and leaving out its trailer, then settles and
  // verifies. Refuses a package whose trailer is not the header that Load read. Returns TRUE on
  // a verified copy. The worker's code: it keeps `watchdogTick` fresh and stops when abandoned.
  BOOL CopyPackage(LPCWSTR outputPath, LPCWSTR inputPath);
  // The worker's closing phase: about eleven seconds, feeding the watchdog, and the progress
  // bar set to 100 before the last second. Ends at once when the extraction was abandoned.
  void Settle();
  // TRUE when the image is exactly kTrailerBytes shorter than the package.
  BOOL VerifyOutput(LPCWSTR outputPath, LPCWSTR inputPath);
  // Deletes the image at `outputPath`, or cuts it to zero length when it cannot be deleted
  // (a worker terminated by the watchdog still holds it open: it is cut through that worker's
  // handle). An image that another program holds open is left alone, as is a missing one.
  void RemoveOutput();

  LPCWSTR CardRoot() const { return cardRoot; }
  LPCWSTR ProgramDir() const { return programDir; }
  LPCWSTR PackagePath() const { return packagePath; }
  LPCWSTR OutputPath() const { return outputPath; }

 private:
  // Dispatches every queued message of this thread except WM_QUIT, which is dropped.
  static void DrainMessages();
  // After the outcome was decided without the worker's report: tells the worker to stop and
  // waits up to kWatchdogMs for it to end, dispatching messages meanwhile (it may be sending
  // to the progress bar). Terminates it when it does not end in time.
  void AbandonWorker(HANDLE worker);
  // Terminates the worker, keeps the buffer it may still be using and closes the files it had
  // open, so that RemoveOutput can delete the image. Without `closeOutput` the image the copy was
  // writing stays open, as the terminated thread's (RemoveOutput then cuts it to zero length).
  void TerminateWorker(HANDLE worker, BOOL closeOutput);
  // Opens a file as CreateFileW does and publishes the handle in `slot` at once.
  static HANDLE OpenPublished(std::atomic<HANDLE>& slot, LPCWSTR path, DWORD access, DWORD share,
                              DWORD disposition, DWORD attributes);
  // Takes the handle out of `slot` and closes it, unless the other side took it first.
  static void ClosePublished(std::atomic<HANDLE>& slot);
  void StampSignOfLife() { watchdogTick.store(GetTickCount(), std::memory_order_relaxed); }
  BOOL Abandoned() const { return abandoned.load(std::memory_order_relaxed); }

  HWND progressBar;  // written before the worker starts, only read afterwards
  // The worker's latest sign of life (GetTickCount). Written by the worker and read by the
  // user-interface thread without a lock: a single 32-bit value.
  std::atomic<DWORD> watchdogTick;
  WCHAR cardRoot[MAX_PATH];     // with its trailing backslash; empty when not found
  WCHAR programDir[MAX_PATH];   // with its trailing backslash
  WCHAR packagePath[MAX_PATH];  // programDir and the package's name; programDir alone if none
  WCHAR outputPath[MAX_PATH];   // set by the worker: cardRoot and PREPARED_IMAGE_NAME
  PackageHeader header;
  DeviceIdentity identity;
  // Set by the user-interface thread once it no longer waits for the worker's report; the
  // worker checks it at every chunk and before settling, verifying and reporting.
  std::atomic<BOOL> abandoned;
  // The worker's chunk buffer while it copies. Whoever takes it out (exchange) owns it: the
  // worker frees it when its copy ends; after terminating the worker the user-interface thread
  // takes it and keeps it for the life of the process, since a terminated worker may still be
  // inside a read into it.
  std::atomic<LPBYTE> copyBuffer;
  // The files the worker has open, each published the moment its open returns; NULL otherwise.
  // Whoever takes a handle out (exchange) closes it: the worker when it is done with the file, or
  // the user-interface thread after terminating the worker (see TerminateWorker), so that no
  // handle of a stopped worker keeps the image from being deleted.
  std::atomic<HANDLE> openOutput;     // the image, as the copy writes it
  std::atomic<HANDLE> openInput;      // the package, as the copy or the verification reads it
  std::atomic<HANDLE> checkedOutput;  // the image, as the verification reads it
};

#endif  // KEPLA_PACKAGE_DATA_UNPACKER_H_
