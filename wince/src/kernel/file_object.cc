#include "kernel/file_object.h"

#include <unistd.h>

#include "system/device.h"
#include "kernel/filesystem.h"

namespace wce {

FileObject::~FileObject() { close(fd_); }

void FileObject::OnLastHandleClosed() { file_system_->Release(*this); }

std::shared_ptr<FileObject> LookUpFile(HANDLE handle) {
  std::shared_ptr<FileObject> file = Device::Get().handles().GetAs<FileObject>(handle);
  if (file == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

}  // namespace wce
