// The base of the wizard pages: a modal dialog sized to the full screen, built from a portrait or
// a landscape template, with a two-soft-key menu bar and an anchor layout that follows the
// dialog's size.
//
// A page is constructed unattached, attached once to the module that holds its resources, and
// run any number of times; each Run opens a new modal dialog and returns its PageResult.
//
// Thread rules: user-interface thread only. Pages are members of the application object and are
// never deleted through a WizardPage pointer.
#ifndef KEPLA_UI_WIZARD_PAGE_H_
#define KEPLA_UI_WIZARD_PAGE_H_

#include <windows.h>
#include <commctrl.h>

class AnchorLayout;
class DataUnpacker;

class WizardPage {
 public:
  // Stores the instance, the owner window and the data object when the page is not yet attached
  // and `hInstance` is non-zero. Returns true when the page is attached afterwards. A null owner
  // or data object is accepted; a second Attach changes nothing.
  virtual bool Attach(HINSTANCE hInstance, HWND hParent, DataUnpacker* pUnpacker);
  // Opens the page's dialog and returns its PageResult once it has ended; -1 when the page is not
  // attached or its template cannot be loaded, or the platform's failure result for the dialog.
  virtual INT_PTR Run() = 0;
  // Sizes the dialog to the full screen and makes a fresh layout of its client area, freeing the
  // earlier one. Returns the new layout (owned by the page), null when it could not be allocated.
  virtual AnchorLayout* InitDialog(HWND dialog);
  // Gives the dialog the soft-key menu bar of menu resource `menuId`. Returns the shell's result.
  virtual BOOL CreateMenuBar(HWND dialog, UINT menuId);
  // Labels (and where needed disables) the soft keys of `menuBar`.
  virtual void SetSoftKeys(HWND menuBar);
  // Back to unattached; frees the layout. The page can then be attached again.
  virtual void Reset();
  // Routes WM_INITDIALOG, WM_SIZE and WM_COMMAND; FALSE (default handling) for the rest.
  virtual INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  // The page initialisation sequence; returns TRUE.
  virtual INT_PTR OnInitDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  // Hands the new client size to the layout; returns TRUE.
  virtual INT_PTR OnSize(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  // The soft-key commands; returns TRUE whether or not the command is the page's.
  virtual INT_PTR OnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  // The dialog procedure of every page: finds the page in the dialog's user data (in lParam for
  // WM_INITDIALOG) and calls its DialogProc. Messages that come before WM_INITDIALOG get FALSE.
  static INT_PTR CALLBACK StaticDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  // The module the page is attached to (0: not attached) and its current layout (may be null).
  HINSTANCE Instance() const { return instance; }
  const AnchorLayout* Layout() const { return layout; }

 protected:
  WizardPage();
  // Runs Reset (the base behaviour: the derived part has already reset itself).
  ~WizardPage();
  WizardPage(const WizardPage&) = delete;
  WizardPage& operator=(const WizardPage&) = delete;

  // Run for a page whose portrait template is `portraitId` and landscape one `portraitId + 1`.
  INT_PTR RunTemplate(WORD portraitId);
  // A read-only string-table text of the attached module ("" when it is missing).
  LPCWSTR Text(UINT id) const;
  // Labels the left soft key `leftId` and then the right one `rightId` through one TBBUTTONINFO
  // record (zero but for cbSize and dwMask = TBIF_TEXT; only pszText changes between the two
  // calls). With `disableLeft` the left key (index 0) is disabled between the two labels.
  static void LabelSoftKeys(HWND menuBar, int leftId, LPCWSTR leftLabel, int rightId,
                            LPCWSTR rightLabel, bool disableLeft = false);
  // An error message box owned by `dialog`, captioned "Error". Returns once it is dismissed.
  void ShowError(HWND dialog, LPCWSTR message) const;
  // Frees the layout, if any.
  void DestroyLayout();

  HINSTANCE instance;      // the module with the templates, menus and strings; 0: not attached
  HWND parent;             // owner of the page dialog
  DataUnpacker* unpacker;  // not owned; may be null
  AnchorLayout* layout;    // owned; null until the first InitDialog and after Reset
};

#endif  // KEPLA_UI_WIZARD_PAGE_H_
