#include "api/call_entry.h"

#include "kernel/file_object.h"
#include "model/call_log.h"
#include "model/scheduler.h"
#include "system/device.h"

namespace wce::api {

std::optional<DWORD> EnterCall(std::string_view name, std::u16string_view file) {
  ThreadGate();
  const DeviceThread* self = DeviceThread::Current();
  if (self == nullptr || !self->is_program()) return std::nullopt;
  Device& device = Device::Get();
  const CallLog::Thread thread =
      self->role() == DeviceThread::Role::kUi ? CallLog::Thread::kUi : CallLog::Thread::kWorker;
  const CallLog::Verdict verdict = device.calls().Enter(name, thread, file);
  switch (verdict.action) {
    case CallLog::Verdict::Action::kProceed:
      return std::nullopt;
    case CallLog::Verdict::Action::kFail:
      return verdict.error;
    case CallLog::Verdict::Action::kPowerOff:
      device.PowerOff();
  }
  return std::nullopt;
}

std::u16string FileOfHandle(HANDLE handle) {
  const std::shared_ptr<FileObject> file = LookUpFile(Device::Get().handles(), handle);
  return file == nullptr ? std::u16string() : file->info().device_path;
}

}  // namespace wce::api
