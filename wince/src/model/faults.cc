#include "model/faults.h"

#include <algorithm>

#include "host/fold_case.h"

namespace wce {
namespace {

bool Reaches(std::uint64_t offset, std::uint64_t position, std::uint64_t length) {
  return offset >= position && offset - position < length;
}

}  // namespace

std::u16string FaultPathKey(std::u16string_view device_path) {
  std::u16string key;
  for (char16_t c : device_path) {
    if (c == u'/') c = u'\\';
    if (c == u'\\' && !key.empty() && key.back() == u'\\') continue;
    key += FoldCase(c);
  }
  if (key.size() > 1 && key.back() == u'\\') key.pop_back();
  return key;
}

FaultPlan::FaultPlan(std::vector<FaultSpec> faults) {
  for (FaultSpec& spec : faults) {
    Fault fault;
    fault.file_key = FaultPathKey(spec.file);
    fault.spec = std::move(spec);
    faults_.push_back(std::move(fault));
  }
}

FaultPlan::ReadPlan FaultPlan::PlanRead(std::u16string_view device_path, std::uint64_t position,
                                        std::uint64_t length) {
  ReadPlan plan;
  plan.deliver = length;
  const std::u16string key = FaultPathKey(device_path);
  MutexLock lock(mu_);
  for (Fault& fault : faults_) {
    const FaultSpec& spec = fault.spec;
    if (fault.file_key != key || !Reaches(spec.offset, position, length)) continue;
    switch (spec.kind) {
      case FaultSpec::Kind::kReadError:
        plan.fail = true;
        break;
      case FaultSpec::Kind::kReadStall:
        if (!fault.spent) plan.stall_ms += spec.ms;
        fault.spent = true;
        break;
      case FaultSpec::Kind::kShortRead:
        if (!fault.spent) plan.deliver = std::min(plan.deliver, spec.offset - position);
        fault.spent = true;
        break;
      default:
        break;
    }
  }
  return plan;
}

FaultPlan::WritePlan FaultPlan::PlanWrite(std::u16string_view device_path, std::u16string_view card,
                                          std::uint64_t position, std::uint64_t length) {
  WritePlan plan;
  plan.accept = length;
  const std::u16string key = FaultPathKey(device_path);
  MutexLock lock(mu_);
  for (const Fault& fault : faults_) {
    if (fault.spec.kind == FaultSpec::Kind::kWriteError && fault.file_key == key &&
        Reaches(fault.spec.offset, position, length)) {
      plan.fail = true;
      plan.accept = 0;
      return plan;
    }
  }
  for (const Fault& fault : faults_) {
    if (IsCardFault(fault, FaultSpec::Kind::kDiskFull, card)) {
      plan.accept = std::min(plan.accept, Room(fault));
    }
    if (IsCardFault(fault, FaultSpec::Kind::kCardRemoved, card) && Room(fault) < plan.accept) {
      plan.accept = Room(fault);
      plan.remove_card = true;
    }
  }
  for (Fault& fault : faults_) {
    if (IsCardFault(fault, FaultSpec::Kind::kDiskFull, card) ||
        IsCardFault(fault, FaultSpec::Kind::kCardRemoved, card)) {
      fault.written += plan.accept;
    }
  }
  return plan;
}

std::uint32_t FaultPlan::PlanOpen(std::u16string_view device_path) {
  const std::u16string key = FaultPathKey(device_path);
  std::uint32_t stall_ms = 0;
  MutexLock lock(mu_);
  for (Fault& fault : faults_) {
    if (fault.spec.kind != FaultSpec::Kind::kOpenStall || fault.file_key != key) continue;
    if (fault.opens++ == fault.spec.skip) stall_ms += fault.spec.ms;
  }
  return stall_ms;
}

std::optional<std::uint64_t> FaultPlan::DiskFullRemaining(std::u16string_view card) const {
  std::optional<std::uint64_t> remaining;
  MutexLock lock(mu_);
  for (const Fault& fault : faults_) {
    if (IsCardFault(fault, FaultSpec::Kind::kDiskFull, card))
      remaining = std::min(remaining.value_or(UINT64_MAX), Room(fault));
  }
  return remaining;
}

bool FaultPlan::IsCardFault(const Fault& fault, FaultSpec::Kind kind, std::u16string_view card) {
  return fault.spec.kind == kind && !card.empty() && EqualsNoCase(fault.spec.card, card);
}

std::uint64_t FaultPlan::Room(const Fault& fault) {
  return fault.spec.bytes - std::min(fault.spec.bytes, fault.written);
}

bool FaultPlan::TakeThreadCreateFailure() {
  MutexLock lock(mu_);
  for (Fault& fault : faults_) {
    if (fault.spec.kind == FaultSpec::Kind::kThreadCreate && fault.spec.count > 0) {
      --fault.spec.count;
      return true;
    }
  }
  return false;
}

}  // namespace wce
