// The sharing rules and the delete protection across the processes of one device.
//
// Each process that boots a device keeps its own table of open files (share_table.h), but on the
// device every program shares one kernel: an image that one program writes can be neither
// deleted nor opened against its share mode by another. Open files therefore also say so on the
// host file itself, with shared open-file-description locks (fcntl F_OFD_SETLK) on bytes far past
// the end of any file: one that says "open", one per access it has, one per access it refuses to
// share. Another open probes those bytes (F_OFD_GETLK) and is refused when they conflict with
// its own request; DeleteFileW is refused while anyone holds the file open. The locks go when
// the file's last handle is closed, or with the process (a program that is killed).
//
// Choices: an open takes its locks first and probes afterwards, so two opens of different
// processes that race may both be refused; a host file system without such locks (some network
// file systems) gets no cross-process rules. Free functions over a host descriptor; thread-safe.
#ifndef WINCE_HOST_HOST_SHARE_LOCKS_H_
#define WINCE_HOST_HOST_SHARE_LOCKS_H_

#include <windows.h>

namespace wce {

// Takes the locks of an open with `access` and `share` on `fd` (open for reading), then checks
// them against every other open description of the file. Returns false, holding nothing, when
// one of them conflicts (ERROR_SHARING_VIOLATION for the caller); true when none does or the
// host offers no such locks.
bool TakeShareLocks(int fd, DWORD access, DWORD share);

// Drops the locks of `fd` (its last handle was closed; the descriptor may live on a little).
void DropShareLocks(int fd);

// True when an open description other than `fd`'s holds the file open (any process).
bool HeldOpenElsewhere(int fd);

}  // namespace wce

#endif  // WINCE_HOST_HOST_SHARE_LOCKS_H_
