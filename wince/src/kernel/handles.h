// Kernel objects and the handle table that names them.
#ifndef WINCE_KERNEL_HANDLES_H_
#define WINCE_KERNEL_HANDLES_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <windows.h>
#include "host/mutex.h"

namespace wce {

// Base of everything a HANDLE can name (files, searches, events, threads, libraries, power
// requirements). Objects are shared: a handle holds a reference, and so may a wait in progress.
class KernelObject {
 public:
  virtual ~KernelObject() = default;

  // Waitable objects override these; both are called with the scheduler's mutex held.
  virtual bool IsWaitable() const { return false; }
  virtual bool IsSignalledLocked() const { return false; }
  // Called when a wait is satisfied by this object (auto-reset events reset here).
  virtual void OnWaitSatisfiedLocked() {}
  // Called once when the last handle to the object is closed (with no lock held).
  virtual void OnLastHandleClosed() {}
};

// Maps HANDLE values to objects. Thread-safe (its own lock; never held while calling out).
class HandleTable {
 public:
  // Returns a fresh handle value; never 0 nor INVALID_HANDLE_VALUE; values are not reused.
  HANDLE Add(std::shared_ptr<KernelObject> object);
  // The object, or null for an unknown or closed handle.
  std::shared_ptr<KernelObject> Get(HANDLE handle) const;
  template <typename T>
  std::shared_ptr<T> GetAs(HANDLE handle) const {
    return std::dynamic_pointer_cast<T>(Get(handle));
  }
  // Removes the handle; returns the object it named (null if unknown).
  std::shared_ptr<KernelObject> Remove(HANDLE handle);
  // Number of open handles that name `object`.
  int CountHandlesTo(const KernelObject* object) const;
  std::size_t size() const;

 private:
  mutable Mutex mu_;
  std::uintptr_t next_ WCE_GUARDED_BY(mu_) = 0x100;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> map_ WCE_GUARDED_BY(mu_);
};

}  // namespace wce

#endif  // WINCE_KERNEL_HANDLES_H_
