// Windows Mobile shell: full-screen dialog sizing and the two-soft-key menu bar.
#ifndef WINCE_AYGSHELL_H_
#define WINCE_AYGSHELL_H_

// Needs <windows.h> first, as the platform's own header does.

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

// SHIDIF_SIZEDLGFULLSCREEN sizes the dialog to the screen's work area (the screen above the
// menu bar).
BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010

// 36 bytes on the device; the layer accepts cbSize == sizeof(SHMENUBARINFO) on the host.
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

// With SHCMBF_HMENU, nToolBarId names a MENU resource whose two top-level items become the left
// and right soft keys. Pressing an enabled soft key sends WM_COMMAND(id) to hwndParent.
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi);
HWND WINAPI SHFindMenuBar(HWND hwnd);
// uid is 0 (left) or 1 (right) when bByIndex, else a command id. Returns S_OK or E_FAIL.
HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex, BOOL bEnable);

#endif  // WINCE_AYGSHELL_H_
