// The progress and question dialogs. The posted start message of the progress dialog is a
// one-shot 1 ms timer, which fires right after the dialog is shown; the status-text message is a
// call of SetStatusText.
#include "InstallerDlg.h"

#include "Forms.h"

#include <cstdio>

namespace {

CInstallerDlg* g_window = nullptr;

void SetupFont(TForm& form) {
  form.Font.Name = "Arial";
  form.Font.SetSize(10);
}

template <class T>
T* Place(TForm& form, TWinControl* parent, const DialogUnits& du, int x, int y, int w, int h) {
  T* c = new T(&form);
  c->SetParent(parent);
  c->Font = form.Font;
  c->SetBounds(du.X(x), du.Y(y), du.X(w), du.Y(h));
  return c;
}

}  // namespace

DialogUnits DialogUnitsOf(TForm& form) {
  static const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  DialogUnits du;
  int width = form.Canvas().TextWidth(letters);
  int height = form.Canvas().TextHeight(letters);
  if (width > 0) du.baseX = (width / 26 + 1) / 2;
  if (height > 0) du.baseY = height;
  return du;
}

void CenterWindow(TControl& window, const TControl* reference) {
  int left, top, width, height;
  if (reference) {
    left = reference->Left(), top = reference->Top(), width = reference->Width(), height = reference->Height();
  } else {
    left = 0, top = 0, width = Screen->Width(), height = Screen->Height();
  }
  int x = left + (width - window.Width()) / 2;
  int y = top + (height - window.Height()) / 2;
  if (window.Parent() && reference != window.Parent()) {
    // Screen coordinates made relative to the parent window.
    for (const TControl* p = window.Parent(); p; p = p->Parent()) {
      x -= p->Left();
      y -= p->Top();
    }
  } else if (window.Parent()) {
    x -= left;
    y -= top;
  }
  window.SetBounds(x, y, window.Width(), window.Height());
}

// ---- CInstallerDlg ----

CInstallerDlg::CInstallerDlg(TComponent* owner) : TForm(owner) {
  Name = "CInstallerDlg";
  SetCaption("Workunit Installer");
  BorderStyle = TFormBorderStyle::bsDialog;
  BorderIcons = biSystemMenu;
  SetupFont(*this);
  DialogUnits du = DialogUnitsOf(*this);
  SetBounds(0, 0, du.X(182), du.Y(119));

  btnStrip = Place<TPanel>(*this, this, du, 0, 0, 16, 41);  // the strip down the left edge
  btnStrip->Name = "STRIP";
  btnStrip->SetEnabled(false);
  btnStrip->SetColor(clTeal);
  btnStrip->BevelOuter = TPanelBevel::bvNone;

  pnlStatus = Place<TPanel>(*this, this, du, 22, 10, 137, 75);
  pnlStatus->BevelOuter = TPanelBevel::bvLowered;
  lblStatus = new TLabel(this);
  lblStatus->SetParent(pnlStatus);
  lblStatus->Font = Font;
  lblStatus->WordWrap = true;
  lblStatus->SetBounds(2, 2, pnlStatus->Width() - 4, pnlStatus->Height() - 4);
  lblStatus->SetCaption("Describe what's going on here...");

  btnCancel = Place<TButton>(*this, this, du, 52, 94, 77, 14);
  btnCancel->SetCaption("Cancel");
  btnCancel->Default = true;
  btnCancel->Cancel = true;
  btnCancel->OnClick = [this](TObject*) { OnCancel(); };

  // Hidden buttons with accelerators and no action.
  btnS = Place<TButton>(*this, this, du, 133, 105, 14, 13);
  btnS->SetCaption("&S");
  btnP = Place<TButton>(*this, this, du, 150, 105, 14, 13);
  btnP->SetCaption("&P");
  btnG = Place<TButton>(*this, this, du, 167, 105, 14, 13);
  btnG->SetCaption("&G");
  for (TButton* b : {btnS, btnP, btnG}) b->SetVisible(false);

  tmrStart = new TTimer(this);
  tmrStart->SetEnabled(false);
  tmrStart->SetInterval(1);
  tmrStart->OnTimer = [this](TObject*) {
    tmrStart->SetEnabled(false);  // the start message comes once
    OnStartInstall();
  };
  OnShow = [this](TObject*) { OnInitDialog(); };
  DoCreate();
}

CInstallerDlg::~CInstallerDlg() {
  if (g_window == this) g_window = nullptr;
}

CInstallerDlg* CInstallerDlg::Window() { return g_window; }

void CInstallerDlg::OnInitDialog() {
  g_window = this;
  SetCaption(MessageBoxTitle);
  btnCancel->SetCaption(CancelText);
  CenterWindow(*this);
  if (!PausedMode) tmrStart->SetEnabled(true);
}

void CInstallerDlg::SetStatusText(const std::string& text) {
  lblStatus->SetCaption(text);
  if (!Application->HasWindows()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
}

std::string CInstallerDlg::StatusText() const { return lblStatus->Caption(); }

void CInstallerDlg::OnStartInstall() {
  if (StartInstallHook) StartInstallHook(*this);
}

void CInstallerDlg::OnCancel() {
  if (CancelHook)
    CancelHook(*this);
  else
    SetModalResult(mrCancel);
}

// ---- CQuestionDlg ----

CQuestionDlg::CQuestionDlg(const std::string& question, TComponent* parent, const std::string& yesText,
                           const std::string& noText)
    : TForm(parent), question_(question) {
  Name = "CQuestionDlg";
  SetCaption("");
  BorderStyle = TFormBorderStyle::bsDialog;
  BorderIcons = 0;
  SetupFont(*this);
  DialogUnits du = DialogUnitsOf(*this);
  SetBounds(0, 0, du.X(179), du.Y(107));

  lblQuestion = Place<TLabel>(*this, this, du, 36, 5, 140, 75);
  lblQuestion->WordWrap = true;
  imgIcon = Place<TLabel>(*this, this, du, 5, 5, 21, 20);  // the system's question icon
  imgIcon->Font.SetSize(24);
  imgIcon->Font.Style = fsBold;
  imgIcon->Font.Color = static_cast<TColor>(0x800000);  // navy
  imgIcon->Alignment = TAlignment::taCenter;
  imgIcon->SetCaption("?");
  btnYes = Place<TButton>(*this, this, du, 37, 89, 62, 14);
  btnYes->ModalResult = mrYes;
  btnNo = Place<TButton>(*this, this, du, 107, 89, 62, 14);
  btnNo->ModalResult = mrNo;
  // No default and no cancel button: Enter and Escape do nothing, only the buttons close it.
  lblQuestion->SetCaption(question_);
  btnYes->SetCaption(yesText);
  btnNo->SetCaption(noText);
  OnShow = [this](TObject*) { CenterWindow(*this, Owner() ? dynamic_cast<TControl*>(Owner()) : nullptr); };
  DoCreate();
}
