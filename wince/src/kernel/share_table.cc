#include "kernel/share_table.h"

#include <algorithm>

namespace wce {
namespace {

constexpr DWORD kDataAccess = GENERIC_READ | GENERIC_WRITE;

// True when `share` does not let an open with `access` in.
bool Refuses(DWORD share, DWORD access) {
  return ((access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
         ((access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
}

}  // namespace

bool SharingConflicts(DWORD access_a, DWORD share_a, DWORD access_b, DWORD share_b) {
  if (!(access_a & kDataAccess) || !(access_b & kDataAccess)) return false;
  return Refuses(share_a, access_b) || Refuses(share_b, access_a);
}

bool ShareTable::TryAdd(const FileKey& key, const void* owner, DWORD access, DWORD share) {
  std::vector<Open>& opens = opens_[key];
  const bool conflict = std::any_of(opens.begin(), opens.end(), [&](const Open& other) {
    return SharingConflicts(other.access, other.share, access, share);
  });
  if (conflict) return false;
  opens.push_back(Open{owner, access, share});
  return true;
}

void ShareTable::Remove(const FileKey& key, const void* owner) {
  auto it = opens_.find(key);
  if (it == opens_.end()) return;
  std::erase_if(it->second, [owner](const Open& open) { return open.owner == owner; });
  if (it->second.empty()) opens_.erase(it);
}

}  // namespace wce
