#include "kernel/handles.h"

namespace wce {

HANDLE HandleTable::Add(std::shared_ptr<KernelObject> object) {
  MutexLock lock(mu_);
  std::uintptr_t value = next_;
  next_ += 4;
  map_.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> HandleTable::Get(HANDLE handle) const {
  MutexLock lock(mu_);
  auto it = map_.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == map_.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> HandleTable::Remove(HANDLE handle) {
  std::shared_ptr<KernelObject> object;
  {
    MutexLock lock(mu_);
    auto it = map_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == map_.end()) return nullptr;
    object = std::move(it->second);
    map_.erase(it);
  }
  return object;
}

int HandleTable::CountHandlesTo(const KernelObject* object) const {
  MutexLock lock(mu_);
  int n = 0;
  for (const auto& [value, obj] : map_) n += obj.get() == object ? 1 : 0;
  return n;
}

std::size_t HandleTable::size() const {
  MutexLock lock(mu_);
  return map_.size();
}

}  // namespace wce
