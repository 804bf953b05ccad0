// Host files that kepla reads or writes for the user (a script file, a transcript) are refused
// when they are of a kind that could block a read or write forever or never end (a FIFO, a
// socket, /dev/zero): messages name the kind the file is.
#ifndef KEPLA_SIM_FILE_KIND_H_
#define KEPLA_SIM_FILE_KIND_H_

#include <sys/stat.h>

namespace kepla {

// "a folder", "a FIFO", ... for the type bits of `mode`; "a special file" for what is left.
inline const char* FileKindName(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISREG(mode)) return "a regular file";
  return "a special file";
}

}  // namespace kepla

#endif  // KEPLA_SIM_FILE_KIND_H_
