// The dialogs headless: the start message comes once after the dialog opens (never when
// paused), status texts reach the status line and standard output, the hidden buttons and the
// question dialog's Enter and Escape do nothing, sizes follow the dialog units.
#include "Dialogs.h"
#include "FormsScript.h"
#include "Helpers.h"
#include "InstallerDlg.h"

#include <gtest/gtest.h>

namespace {

class Dlg : public ::testing::Test {
 protected:
  void SetUp() override {
    FormsScript::Reset();
    Application->ResetRun();
  }
  void TearDown() override { EXPECT_EQ(FormsScript::PendingActions(), 0); }
};

}  // namespace

TEST_F(Dlg, StartMessageRunsTheInstallOnceAfterTheDialogOpens) {
  CInstallerDlg dlg(nullptr);
  dlg.MessageBoxTitle = "My Installer";
  dlg.CancelText = "Abbrechen";
  int runs = 0;
  dlg.StartInstallHook = [&](CInstallerDlg& d) {
    ++runs;
    EXPECT_EQ(CInstallerDlg::Window(), &d);
    EXPECT_EQ(d.Caption(), "My Installer");
    EXPECT_EQ(d.btnCancel->Caption(), "Abbrechen");
    testing::internal::CaptureStdout();
    d.SetStatusText("Installing DOCS...");
    d.SetStatusText("second line");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Installing DOCS...\nsecond line\n");
    EXPECT_EQ(d.StatusText(), "second line");
    FormsScript::OnForm("CInstallerDlg", [](TForm& f) { EXPECT_TRUE(FormsScript::PressEscape(f)); });
  };
  EXPECT_EQ(dlg.StatusText(), "Describe what's going on here...");
  EXPECT_EQ(dlg.DoModal(), mrCancel);
  EXPECT_EQ(runs, 1);
}

TEST_F(Dlg, PausedDialogStartsNothing) {
  CInstallerDlg dlg(nullptr);
  dlg.PausedMode = true;
  int runs = 0;
  dlg.StartInstallHook = [&](CInstallerDlg&) { ++runs; };
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) {
    EXPECT_EQ(static_cast<CInstallerDlg&>(f).StatusText(), "Describe what's going on here...");
    FormsScript::Click(*static_cast<CInstallerDlg&>(f).btnCancel);
  });
  EXPECT_EQ(dlg.DoModal(), mrCancel);
  EXPECT_EQ(runs, 0);
}

// Closing the window by its close button is the Cancel button: it goes to the hook, which may
// keep the dialog open.
TEST_F(Dlg, ClosingTheWindowIsCancel) {
  CInstallerDlg dlg(nullptr);
  dlg.PausedMode = true;
  int cancels = 0;
  dlg.CancelHook = [&](CInstallerDlg& d) {
    if (++cancels == 2) d.SetModalResult(mrCancel);
  };
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) {
    FormsScript::RequestWindowClose(f);
    EXPECT_TRUE(f.Visible());
    FormsScript::RequestWindowClose(f);
  });
  EXPECT_EQ(dlg.DoModal(), mrCancel);
  EXPECT_EQ(cancels, 2);
}

TEST_F(Dlg, CancelGoesToTheHookAndHiddenButtonsDoNothing) {
  CInstallerDlg dlg(nullptr);
  dlg.PausedMode = true;
  int cancels = 0;
  dlg.CancelHook = [&](CInstallerDlg& d) {
    if (++cancels == 2) d.SetModalResult(mrCancel);
  };
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) {
    auto& d = static_cast<CInstallerDlg&>(f);
    EXPECT_FALSE(FormsScript::Click(*d.btnS));  // hidden: Alt+S and clicks reach nothing
    EXPECT_FALSE(FormsScript::Click(*d.btnP));
    EXPECT_FALSE(FormsScript::Click(*d.btnG));
    EXPECT_EQ(d.btnS->Caption(), "&S");
    EXPECT_TRUE(FormsScript::PressEnter(f));  // Cancel is the default button
  });
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) { FormsScript::PressEscape(f); });
  EXPECT_EQ(dlg.DoModal(), mrCancel);
  EXPECT_EQ(cancels, 2);
}

TEST_F(Dlg, QuestionClosesOnlyThroughItsButtons) {
  CQuestionDlg q("Install the newer volume?", nullptr, "&Ja", "&Nein");
  EXPECT_EQ(q.lblQuestion->Caption(), "Install the newer volume?");
  EXPECT_EQ(q.Caption(), "");
  FormsScript::OnForm("CQuestionDlg", [](TForm& f) {
    EXPECT_FALSE(FormsScript::PressEnter(f));
    EXPECT_FALSE(FormsScript::PressEscape(f));
  });
  FormsScript::OnForm("CQuestionDlg", [](TForm& f) {
    auto& d = static_cast<CQuestionDlg&>(f);
    EXPECT_EQ(d.btnYes->Caption(), "&Ja");
    FormsScript::Click(*d.btnNo);
  });
  EXPECT_EQ(q.DoModal(), 7);
  CQuestionDlg yes("?", nullptr);
  FormsScript::OnForm("CQuestionDlg", [](TForm& f) { FormsScript::Click(*static_cast<CQuestionDlg&>(f).btnYes); });
  EXPECT_EQ(yes.DoModal(), 6);
}

TEST_F(Dlg, SizesInDialogUnitsAndCentring) {
  CInstallerDlg dlg(nullptr);
  DialogUnits du = DialogUnitsOf(dlg);
  EXPECT_GE(du.baseX, 5);
  EXPECT_LE(du.baseX, 9);
  EXPECT_GE(du.baseY, 13);
  EXPECT_LE(du.baseY, 19);
  EXPECT_EQ(dlg.Width(), 182 * du.baseX / 4);
  EXPECT_EQ(dlg.Height(), 119 * du.baseY / 8);
  EXPECT_EQ(dlg.btnCancel->Left(), 52 * du.baseX / 4);
  EXPECT_EQ(dlg.btnCancel->Width(), 77 * du.baseX / 4);
  EXPECT_EQ(dlg.pnlStatus->Top(), 10 * du.baseY / 8);
  CQuestionDlg q("?", nullptr);
  EXPECT_EQ(q.Width(), 179 * DialogUnitsOf(q).baseX / 4);
  CenterWindow(q, &dlg);
  EXPECT_EQ(q.Left(), dlg.Left() + (dlg.Width() - q.Width()) / 2);
  EXPECT_EQ(q.Top(), dlg.Top() + (dlg.Height() - q.Height()) / 2);
  CenterWindow(dlg);
  EXPECT_EQ(dlg.Left(), (Screen->Width() - dlg.Width()) / 2);
  // A child is placed relative to its parent.
  CenterWindow(*dlg.btnCancel, &dlg);
  EXPECT_EQ(dlg.btnCancel->Left(), (dlg.Width() - dlg.btnCancel->Width()) / 2);
}

TEST_F(Dlg, BeepIsCountedAndSilentHeadless) {
  int before = BeepCount();
  Beep();
  EXPECT_EQ(BeepCount(), before + 1);
}
