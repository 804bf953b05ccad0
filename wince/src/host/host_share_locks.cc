#include "host/host_share_locks.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdint>

namespace wce {
namespace {

// The lock bytes, far beyond what any device file reaches (sizes are 32 bits on the device).
constexpr off_t kBase = static_cast<off_t>(0x7FFF0000) << 32;
constexpr off_t kOpenByte = kBase;          // held by every open
constexpr off_t kHasRead = kBase + 1;       // held by an open with read access
constexpr off_t kHasWrite = kBase + 2;      // ... with write access
constexpr off_t kRefusesRead = kBase + 3;   // held by an open that does not share reading
constexpr off_t kRefusesWrite = kBase + 4;  // ... that does not share writing
constexpr off_t kLockBytes = 5;

struct flock Range(short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return lock;
}

// True when another open description holds a lock on `byte`. A probe that the host cannot
// answer counts as free.
bool HeldByOthers(int fd, off_t byte) {
  struct flock probe = Range(F_WRLCK, byte, 1);
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

}  // namespace

bool TakeShareLocks(int fd, DWORD access, DWORD share) {
  const bool data = (access & (GENERIC_READ | GENERIC_WRITE)) != 0;
  const bool reads = access & GENERIC_READ;
  const bool writes = access & GENERIC_WRITE;
  const bool refuses_read = data && !(share & FILE_SHARE_READ);
  const bool refuses_write = data && !(share & FILE_SHARE_WRITE);
  const off_t mine[] = {kOpenByte, reads ? kHasRead : -1, writes ? kHasWrite : -1,
                        refuses_read ? kRefusesRead : -1, refuses_write ? kRefusesWrite : -1};
  for (off_t byte : mine) {
    if (byte < 0) continue;
    struct flock lock = Range(F_RDLCK, byte, 1);
    if (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      DropShareLocks(fd);
      return true;  // no such locks here: the rules hold within this process only
    }
  }
  const bool conflict = (reads && HeldByOthers(fd, kRefusesRead)) ||
                        (writes && HeldByOthers(fd, kRefusesWrite)) ||
                        (refuses_read && HeldByOthers(fd, kHasRead)) ||
                        (refuses_write && HeldByOthers(fd, kHasWrite));
  if (conflict) DropShareLocks(fd);
  return !conflict;
}

void DropShareLocks(int fd) {
  struct flock lock = Range(F_UNLCK, kBase, kLockBytes);
  fcntl(fd, F_OFD_SETLK, &lock);
}

bool HeldOpenElsewhere(int fd) { return HeldByOthers(fd, kOpenByte); }

}  // namespace wce
