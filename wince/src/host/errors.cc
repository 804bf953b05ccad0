#include "host/errors.h"

#include <cerrno>

namespace wce {

DWORD Win32ErrorFromErrno(int error_number) {
  switch (error_number) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ELOOP:
      return ERROR_ACCESS_DENIED;
    case EROFS:
      return ERROR_WRITE_PROTECT;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EILSEQ:
      return ERROR_INVALID_NAME;
    case EIO:
      return ERROR_GEN_FAILURE;
    case ENOTSUP:
      return ERROR_NOT_SUPPORTED;
    case ETIMEDOUT:
      return ERROR_TIMEOUT;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace wce
