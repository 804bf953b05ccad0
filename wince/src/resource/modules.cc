#include "resource/modules.h"

namespace wce {
namespace {

// Module handles look like the load addresses of modules on the device: 64 KB apart.
constexpr std::uintptr_t kFirstInstance = 0x00010000;
constexpr std::uintptr_t kInstanceStride = 0x00010000;

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

bool SameId(const ResId& a, const ResId& b) {
  if (a.is_name != b.is_name) return false;
  if (!a.is_name) return a.ordinal == b.ordinal;
  if (a.name.size() != b.name.size()) return false;
  for (std::size_t i = 0; i < a.name.size(); ++i) {
    if (FoldAscii(a.name[i]) != FoldAscii(b.name[i])) return false;
  }
  return true;
}

bool Inside(const void* p, std::span<const std::uint8_t> data) {
  // Compare as integers: relational comparison of unrelated pointers is unspecified.
  auto a = reinterpret_cast<std::uintptr_t>(p);
  auto begin = reinterpret_cast<std::uintptr_t>(data.data());
  return a >= begin && a - begin < data.size();
}

}  // namespace

Modules::Modules() = default;
Modules::~Modules() = default;

HINSTANCE Modules::Add(std::span<const std::uint8_t> image) {
  auto entries = ParseResFile(image);
  if (!entries) return nullptr;
  MutexLock lock(mu_);
  auto module = std::make_unique<Module>();
  module->instance =
      reinterpret_cast<HINSTANCE>(kFirstInstance + modules_.size() * kInstanceStride);
  module->entries = std::move(*entries);
  modules_.push_back(std::move(module));
  return modules_.back()->instance;
}

const Modules::Module* Modules::ModuleLocked(HINSTANCE instance) const {
  for (const auto& module : modules_) {
    if (module->instance == instance) return module.get();
  }
  return nullptr;
}

bool Modules::Contains(HINSTANCE instance) const {
  MutexLock lock(mu_);
  return ModuleLocked(instance) != nullptr;
}

const ResEntry* Modules::Find(HINSTANCE instance, const ResId& type, const ResId& name,
                              DWORD* error) const {
  MutexLock lock(mu_);
  DWORD why = ERROR_RESOURCE_DATA_NOT_FOUND;
  if (const Module* module = ModuleLocked(instance)) {
    why = ERROR_RESOURCE_TYPE_NOT_FOUND;
    for (const ResEntry& entry : module->entries) {
      if (!SameId(entry.type, type)) continue;
      why = ERROR_RESOURCE_NAME_NOT_FOUND;
      if (SameId(entry.name, name)) return &entry;
    }
  }
  if (error) *error = why;
  return nullptr;
}

const ResEntry* Modules::Validate(HINSTANCE instance, const void* entry) const {
  MutexLock lock(mu_);
  for (const auto& module : modules_) {
    if (instance != nullptr && module->instance != instance) continue;
    for (const ResEntry& candidate : module->entries) {
      if (&candidate == entry) return &candidate;
    }
  }
  return nullptr;
}

std::optional<StringSlotData> Modules::FindString(HINSTANCE instance, UINT id, DWORD* error) const {
  if (id > 0xFFFF) {  // string ids are WORDs
    if (error) *error = ERROR_RESOURCE_NAME_NOT_FOUND;
    return std::nullopt;
  }
  const ResEntry* entry =
      Find(instance, ResId::Ordinal(kTypeString), ResId::Ordinal(StringBlockName(id)), error);
  if (entry == nullptr) return std::nullopt;
  auto block = ParseStringBlock(entry->data);
  if (!block) {
    if (error) *error = ERROR_INVALID_DATA;
    return std::nullopt;
  }
  const StringSlotData& slot = block->slots[StringSlot(id)];
  if (!slot.used()) {
    if (error) *error = ERROR_RESOURCE_NAME_NOT_FOUND;
    return std::nullopt;
  }
  return slot;
}

std::optional<Modules::Located> Modules::Locate(const void* p) const {
  MutexLock lock(mu_);
  for (const auto& module : modules_) {
    for (const ResEntry& entry : module->entries) {
      if (!Inside(p, entry.data)) continue;
      auto skip =
          reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(entry.data.data());
      return Located{module->instance, &entry, entry.data.subspan(skip)};
    }
  }
  return std::nullopt;
}

std::optional<std::span<const std::uint8_t>> Modules::SpanContaining(const void* p) const {
  auto located = Locate(p);
  if (!located) return std::nullopt;
  return located->rest;
}

}  // namespace wce
