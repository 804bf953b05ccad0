// What kind of file a path names, for messages that refuse anything but a regular file.
#ifndef KEPLA_TOOLS_FILE_KIND_H_
#define KEPLA_TOOLS_FILE_KIND_H_

#include <sys/types.h>

namespace kepla::pkg {

// "a FIFO", "a character device", "a folder", ... for the file type bits of `mode` (st_mode).
const char* FileKind(mode_t mode);

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_FILE_KIND_H_
