// Common controls of the simulated device: the progress bar and the menu bar's button info.
#ifndef WINCE_COMMCTRL_H_
#define WINCE_COMMCTRL_H_

// Needs <windows.h> first, as the platform's own header does.

#define PROGRESS_CLASSW u"msctls_progress32"
#define PROGRESS_CLASS PROGRESS_CLASSW

#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

// PBM_GETRANGE fills this when lParam is not null.
typedef struct {
  int iLow;
  int iHigh;
} PBRANGE, *PPBRANGE;

#define TB_SETBUTTONINFOW (WM_USER + 64)
#define TB_GETBUTTONINFOW (WM_USER + 63)
#define TB_SETBUTTONINFO TB_SETBUTTONINFOW
#define TB_GETBUTTONINFO TB_GETBUTTONINFOW

#define TBIF_IMAGE 0x00000001
#define TBIF_TEXT 0x00000002
#define TBIF_STATE 0x00000004
#define TBIF_STYLE 0x00000008
#define TBIF_LPARAM 0x00000010
#define TBIF_COMMAND 0x00000020
#define TBIF_SIZE 0x00000040

// 32 bytes on the device; the layer accepts cbSize == sizeof(TBBUTTONINFOW) on the host.
typedef struct {
  UINT cbSize;
  DWORD dwMask;
  int idCommand;
  int iImage;
  BYTE fsState;
  BYTE fsStyle;
  WORD cx;
  DWORD_PTR lParam;
  LPWSTR pszText;
  int cchText;
} TBBUTTONINFOW, *LPTBBUTTONINFOW;
typedef TBBUTTONINFOW TBBUTTONINFO;

void WINAPI InitCommonControls(void);

#endif  // WINCE_COMMCTRL_H_
