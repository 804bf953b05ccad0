#include "kernel/file_object.h"

#include <unistd.h>

#include "kernel/filesystem.h"

namespace wce {

FileObject::~FileObject() { close(fd_); }

void FileObject::OnLastHandleClosed() { file_system_->Release(*this); }

std::shared_ptr<FileObject> LookUpFile(const HandleTable& table, HANDLE handle) {
  return table.GetAs<FileObject>(handle);
}

}  // namespace wce
