// The soft-key menu bar: SHCreateMenuBar, SHFindMenuBar, SHEnableSoftkey and the bar's window.
#include <windows.h>
#include <commctrl.h>

#include <mutex>

#include "resource/menu_template.h"
#include "resource/modules.h"
#include "resource/res_file.h"
#include "model/display.h"
#include "shell/shell.h"
#include "user/window_system.h"

namespace wce {
namespace {

// The soft keys a MENU resource of `instance` describes, or nullopt when there is no such menu
// or it has no item.
std::optional<SoftKeys> LoadSoftKeys(Modules& modules, HINSTANCE instance, UINT menu_id) {
  const ResEntry* entry = modules.Find(instance, ResId::Ordinal(kTypeMenu),
                                       ResId::Ordinal(static_cast<std::uint16_t>(menu_id)));
  if (entry == nullptr || menu_id > 0xFFFF) return std::nullopt;
  auto items = ParseMenu(entry->data);
  if (!items) return std::nullopt;
  return SoftKeys::FromMenu(*items);
}

}  // namespace

Result<BOOL> Shell::MakeMenuBar(SHMENUBARINFO* info) {
  if (info == nullptr || info->cbSize != sizeof(SHMENUBARINFO) ||
      (info->dwFlags & SHCMBF_HMENU) == 0) {
    return {FALSE, ERROR_INVALID_PARAMETER};
  }
  if (!windows_.view().IsLocalWindow(info->hwndParent)) {
    return {FALSE, ERROR_INVALID_WINDOW_HANDLE};
  }
  std::optional<SoftKeys> keys = LoadSoftKeys(modules_, info->hInstRes, info->nToolBarId);
  if (!keys) {
    return {FALSE, ERROR_RESOURCE_NAME_NOT_FOUND};
  }
  RECT where;
  {
    MutexLock lock(mu_);
    windows_.table().mutex().AssertHeld();
    where = MenuBarRect(ScreenRectLocked());
  }
  const Result<HWND> made = windows_.lifecycle().CreateOfClass(
      0, kMenuBarClass, u"", WS_POPUP | WS_VISIBLE, where.left, where.top, where.right - where.left,
      where.bottom - where.top, info->hwndParent, nullptr, info->hInstRes, nullptr);
  if (made.value == nullptr) return {FALSE, made.error};
  const HWND bar = made.value;
  {
    MutexLock lock(mu_);
    windows_.table().mutex().AssertHeld();
    bars_[bar] = MenuBar{info->hwndParent, std::move(*keys)};
    windows_.table().BumpGenerationLocked();
  }
  info->hwndMB = bar;
  return {TRUE};
}

HWND Shell::MenuBarOf(HWND owner) {
  MutexLock lock(mu_);
  return MenuBarOfLocked(owner);
}

HRESULT Shell::EnableSoftKey(HWND bar, UINT uid, BOOL by_index, BOOL enable) {
  MutexLock lock(mu_);
  windows_.table().mutex().AssertHeld();
  MenuBar* record = BarLocked(bar);
  if (record == nullptr || !record->keys.Enable(uid, by_index != FALSE, enable != FALSE)) {
    return E_FAIL;
  }
  windows_.table().BumpGenerationLocked();
  return S_OK;
}

HWND Shell::MenuBarOfLocked(HWND owner) const {
  windows_.table().mutex().AssertHeld();
  if (owner == nullptr) return nullptr;
  // The newest bar of a live owner wins (handles grow, so the map's last match is the newest).
  HWND found = nullptr;
  for (const auto& [bar, record] : bars_) {
    if (record.owner == owner && windows_.table().FindLocked(bar) != nullptr) found = bar;
  }
  return found;
}

std::vector<SoftKey> Shell::SoftKeysLocked(HWND bar) const {
  const MenuBar* record = BarLocked(bar);
  return record ? record->keys.keys() : std::vector<SoftKey>{};
}

bool Shell::CanPressLocked(HWND owner, int index) const {
  windows_.table().mutex().AssertHeld();
  const MenuBar* record = BarLocked(MenuBarOfLocked(owner));
  if (record == nullptr || index < 0 || index >= static_cast<int>(record->keys.keys().size())) {
    return false;
  }
  const Window* w = windows_.table().FindLocked(owner);
  return record->keys.keys()[index].enabled && w != nullptr && (w->style & WS_DISABLED) == 0;
}

bool Shell::PressLocked(HWND owner, int index) {
  windows_.table().mutex().AssertHeld();
  windows_.queues().mutex().AssertHeld();
  if (!CanPressLocked(owner, index)) return false;
  HWND bar = MenuBarOfLocked(owner);
  const Window* w = windows_.table().FindLocked(bar);
  const int width = w->rect.right - w->rect.left;
  const int x = width * (2 * index + 1) / 4;  // the middle of the key's half
  const int y = (w->rect.bottom - w->rect.top) / 2;
  return windows_.queues().PostInputLocked(bar, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

Shell::MenuBar* Shell::BarLocked(HWND bar) {
  auto it = bars_.find(bar);
  return it == bars_.end() ? nullptr : &it->second;
}

const Shell::MenuBar* Shell::BarLocked(HWND bar) const {
  auto it = bars_.find(bar);
  return it == bars_.end() ? nullptr : &it->second;
}

LRESULT Shell::MenuBarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Shell& shell = *this;
  switch (message) {
    case TB_SETBUTTONINFOW:
      return shell.OnSetButtonInfo(hwnd, wparam, reinterpret_cast<const TBBUTTONINFOW*>(lparam));
    case WM_LBUTTONUP:
      shell.OnTap(hwnd, static_cast<short>(LOWORD(lparam)));
      return 0;
    case WM_DESTROY:
      shell.Forget(hwnd);
      return 0;
    default:
      return windows_.lifecycle().DefaultProc(hwnd, message, wparam, lparam);
  }
}

LRESULT Shell::OnSetButtonInfo(HWND bar, WPARAM command, const TBBUTTONINFOW* info) {
  if (info == nullptr || info->cbSize != sizeof(TBBUTTONINFOW)) return FALSE;
  MutexLock lock(mu_);
  windows_.table().mutex().AssertHeld();
  MenuBar* record = BarLocked(bar);
  if (record == nullptr) return FALSE;
  bool known = false;
  for (const SoftKey& key : record->keys.keys()) known = known || key.command == int(command);
  if (!known) return FALSE;
  if (info->dwMask & TBIF_TEXT) {
    record->keys.SetLabel(static_cast<int>(command),
                          info->pszText ? std::u16string(info->pszText) : std::u16string());
    windows_.table().BumpGenerationLocked();
  }
  return TRUE;
}

void Shell::OnTap(HWND bar, int x) {
  HWND owner;
  int command;
  {
    MutexLock lock(mu_);
    windows_.table().mutex().AssertHeld();
    MenuBar* record = BarLocked(bar);
    const Window* w = windows_.table().FindLocked(bar);
    if (record == nullptr || w == nullptr) return;
    auto index = record->keys.IndexAt(x, w->rect.right - w->rect.left);
    // A key disabled after the tap was made is ignored, as is a tap while a modal window
    // above the owner has disabled it.
    if (!index || !CanPressLocked(record->owner, *index)) return;
    owner = record->owner;
    command = record->keys.keys()[*index].command;
  }
  windows_.queues().Send(owner, WM_COMMAND, MAKEWPARAM(command, 0), reinterpret_cast<LPARAM>(bar));
}

void Shell::Forget(HWND bar) {
  MutexLock lock(mu_);
  windows_.table().mutex().AssertHeld();
  if (bars_.erase(bar) != 0) windows_.table().BumpGenerationLocked();
}

}  // namespace wce
