// The fault plan: failures that the device injects into file I/O and thread creation.
//
// Faults come from the profile (FaultSpec, model/profile.h). Files are named by device path,
// matched case-blind and regardless of doubled separators. A read or write "reaches" a fault's
// offset when the offset lies inside the range it transfers ([position, position + length)).
//   read error   every read that reaches the offset fails with ERROR_READ_FAULT and delivers
//                nothing (a bad block: it stays bad); reads before or after it succeed;
//   write error  likewise for writes, with ERROR_WRITE_FAULT; nothing is written;
//   read stall   the first read that reaches the offset waits `ms` device ms, then proceeds;
//   open stall   the open of the file that follows `skip` earlier opens of it waits `ms` device
//                ms before it looks for the file, then proceeds;
//   short read   the first read that reaches the offset delivers only the bytes before it and
//                succeeds; later reads are whole;
//   disk full    the card accepts `bytes` more bytes of writes (counting every byte written to any
//                file of it), then refuses; a write that does not fit entirely writes what fits;
//   card removed the card goes from the device when a write would take it past `bytes` more
//                bytes (counted as for disk full): that write writes what fits and fails, and
//                the card stays gone;
//   thread create  the next `count` CreateThread calls fail.
// Thread-safe: every method may be called from any thread (its own lock, held only briefly).
#ifndef WINCE_MODEL_FAULTS_H_
#define WINCE_MODEL_FAULTS_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <wince/profile.h>
#include "host/mutex.h"

namespace wce {

class FaultPlan {
 public:
  explicit FaultPlan(std::vector<FaultSpec> faults);

  struct ReadPlan {
    std::uint32_t stall_ms = 0;  // wait this long (device time) before reading
    bool fail = false;           // then fail with ERROR_READ_FAULT
    std::uint64_t deliver = 0;   // else deliver at most this many bytes
  };
  // What to do with a read of `length` bytes at `position` of `device_path`. Marks the stalls and
  // short reads it reports as spent.
  ReadPlan PlanRead(std::u16string_view device_path, std::uint64_t position, std::uint64_t length);

  struct WritePlan {
    bool fail = false;         // fail with ERROR_WRITE_FAULT, writing nothing
    std::uint64_t accept = 0;  // else write this many bytes; fewer than asked: ERROR_DISK_FULL
    bool remove_card = false;  // after writing `accept` bytes the card goes (ERROR_DEVICE_REMOVED)
  };
  // What to do with a write of `length` bytes at `position` of `device_path` on card `card`
  // (empty for the root folder's volume). Counts the accepted bytes against a disk-full fault.
  WritePlan PlanWrite(std::u16string_view device_path, std::u16string_view card,
                      std::uint64_t position, std::uint64_t length);

  // How long (device ms) the open of `device_path` now being made must wait first; 0 for none.
  // Counts the open against the open stalls of that file.
  std::uint32_t PlanOpen(std::u16string_view device_path);

  // The bytes `card` still accepts under a disk-full fault; nullopt when it has none.
  std::optional<std::uint64_t> DiskFullRemaining(std::u16string_view card) const;

  // True (and one failure used up) when the next CreateThread must fail.
  bool TakeThreadCreateFailure();

 private:
  struct Fault {
    FaultSpec spec;
    std::u16string file_key;    // the normalised, case-folded device path
    bool spent = false;         // stalls and short reads fire once
    std::uint64_t written = 0;  // disk full, card removed: bytes accepted so far
    int opens = 0;              // open stall: opens of the file counted so far
  };

  // A fault of `kind` on `card` (never of the root folder's volume, whose name is empty).
  static bool IsCardFault(const Fault& fault, FaultSpec::Kind kind, std::u16string_view card);
  // The bytes a disk-full or card-removed fault still accepts.
  static std::uint64_t Room(const Fault& fault);

  mutable Mutex mu_;
  std::vector<Fault> faults_ WCE_GUARDED_BY(mu_);
};

// The form in which the fault plan compares device paths: case-folded, with '/' and runs of
// separators read as one '\', and no trailing separator.
std::u16string FaultPathKey(std::u16string_view device_path);

}  // namespace wce

#endif  // WINCE_MODEL_FAULTS_H_
