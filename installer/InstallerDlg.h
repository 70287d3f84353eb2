// The installer's two dialogs: the progress dialog in which the whole install run happens, and
// the Yes/No question dialog. Both are forms of the platform's component model, laid out in
// dialog units of their Arial 10 font.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

#include <functional>
#include <string>

/// Dialog units of a form's font: horizontal units are a quarter of the average character width,
/// vertical ones an eighth of the character height.
struct DialogUnits {
  int baseX = 8, baseY = 16;
  int X(int du) const { return du * baseX / 4; }
  int Y(int du) const { return du * baseY / 8; }
};
DialogUnits DialogUnitsOf(TForm& form);

/// Centres `window` on `reference` (on the screen when none): reference left + (reference width
/// - window width) / 2, likewise vertically; a child window's position is made relative to its
/// parent. Only the position changes.
void CenterWindow(TControl& window, const TControl* reference = nullptr);

class CInstallerDlg : public TForm {
 public:
  /// Control ids of the dialog resource.
  enum { IDC_STRIP = 1000, IDC_S = 1001, IDC_P = 1002, IDC_G = 1003, IDC_STATUS = 1004 };

  explicit CInstallerDlg(TComponent* owner);
  ~CInstallerDlg() override;

  /// Texts the dialog takes when it opens (the application's MessageBoxTitle and Cancel texts).
  std::string MessageBoxTitle = "Installer";
  std::string CancelText = "Cancel";
  /// With PausedMode the start message is not posted: the status line keeps its text.
  bool PausedMode = false;

  /// The status line (the status-text message). Headless the text also goes to standard output.
  void SetStatusText(const std::string& text);
  std::string StatusText() const;

  /// The start message's handler: runs the install. The hook is called when set.
  virtual void OnStartInstall();
  std::function<void(CInstallerDlg&)> StartInstallHook;
  /// Cancel (the button, Enter on it, Escape): the hook decides when set; without one the dialog
  /// closes with mrCancel.
  virtual void OnCancel();
  /// Closing the window is the Cancel button: a run in progress asks before it stops.
  void CloseRequested() override { OnCancel(); }
  std::function<void(CInstallerDlg&)> CancelHook;

  /// Runs the dialog modally; returns its modal result.
  TModalResult DoModal() { return ShowModal(); }

  /// The dialog's window, remembered process-wide when it opens (null before).
  static CInstallerDlg* Window();

  TPanel* btnStrip;
  TPanel* pnlStatus;
  TLabel* lblStatus;
  TButton* btnCancel;
  TButton* btnS;
  TButton* btnP;
  TButton* btnG;
  TTimer* tmrStart;

 private:
  void OnInitDialog();
};

class CQuestionDlg : public TForm {
 public:
  enum { IDC_QUESTION = 1056, IDC_ICON = 1062 };
  /// The question, its parent window, and the texts of the two buttons (the application's
  /// YesString and NoString).
  CQuestionDlg(const std::string& question, TComponent* parent, const std::string& yesText = "&Yes",
               const std::string& noText = "&No");

  /// Runs the dialog: 6 for Yes, 7 for No.
  TModalResult DoModal() { return ShowModal(); }

  const std::string& Question() const { return question_; }

  TLabel* lblQuestion;
  TLabel* imgIcon;
  TButton* btnYes;
  TButton* btnNo;

 private:
  std::string question_;
};
