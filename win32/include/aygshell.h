// The Windows Mobile shell calls on desktop Win32: full-screen dialog sizing and the two-soft-key
// menu bar, supplied by the device shim (win32/src/). Needs <windows.h> first.
#ifndef KEPLA_WIN32_AYGSHELL_H_
#define KEPLA_WIN32_AYGSHELL_H_

#ifdef __cplusplus
extern "C" {
#endif

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

typedef struct tagSHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

// SHIDIF_SIZEDLG and SHIDIF_SIZEDLGFULLSCREEN size the dialog to the work area of the profile's
// screen and take away its frame (the device draws titles in its navigation bar).
BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

typedef struct tagSHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;
  COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

// With SHCMBF_HMENU, nToolBarId names a MENU resource of hInstRes whose first two top-level items
// become the left and right soft keys. Pressing an enabled key sends WM_COMMAND(id) to
// hwndParent. FALSE for anything else.
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi);
// The newest menu bar made for `hwnd`, or NULL.
HWND WINAPI SHFindMenuBar(HWND hwnd);
// uid is 0 (left) or 1 (right) when bByIndex, else a command id. S_OK or E_FAIL.
HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex, BOOL bEnable);

#ifdef __cplusplus
}
#endif

#endif  // KEPLA_WIN32_AYGSHELL_H_
