// The dialogs on a small screen (an X server of 800 x 600): the progress dialog is centred on the
// screen the display has, so that its Cancel button and the question's Yes and No stay on it.
// A picture of the whole screen is written beside the test program.
#include "FormsScript.h"
#include "InstallerDlg.h"
#include "../support/XvfbServer.h"

#include <gtest/gtest.h>

namespace {

testsupport::XvfbServer gDisplay("800x600x24");

bool OnScreen(const TControl& control) {
  int x = 0, y = 0;
  for (const TControl* c = &control; c; c = c->Parent()) x += c->Left(), y += c->Top();
  return x >= 0 && y >= 0 && x + control.Width() <= Screen->Width() && y + control.Height() <= Screen->Height();
}

}  // namespace

TEST(InstallerSmallScreen, DialogsAreCentredOnTheDisplaysScreen) {
  ASSERT_TRUE(FormsScript::HasWindows());
  FormsScript::Reset();
  Application->ResetRun();
  if (gDisplay.Real()) {  // Qt's offscreen platform (under the sanitizers) has a screen of its own
    EXPECT_EQ(Screen->Width(), 800);
    EXPECT_EQ(Screen->Height(), 600);
  }
  CInstallerDlg dlg(nullptr);
  dlg.StartInstallHook = [](CInstallerDlg& d) {
    EXPECT_EQ(d.Left(), (Screen->Width() - d.Width()) / 2);
    EXPECT_EQ(d.Top(), (Screen->Height() - d.Height()) / 2);
    EXPECT_TRUE(OnScreen(*d.btnCancel));
    EXPECT_TRUE(FormsScript::SaveWholeScreen("installer_800x600.png"));
    CQuestionDlg q("[DOCS1234] could not be installed properly.  Do you want to continue?", &d);
    FormsScript::OnForm("CQuestionDlg", [](TForm& f) {
      auto& q = static_cast<CQuestionDlg&>(f);
      EXPECT_TRUE(OnScreen(*q.btnYes));
      EXPECT_TRUE(OnScreen(*q.btnNo));
      EXPECT_TRUE(FormsScript::SaveWholeScreen("question_800x600.png"));
      FormsScript::Click(*q.btnNo);
    });
    EXPECT_EQ(q.DoModal(), mrNo);
    FormsScript::Click(*d.btnCancel);
  };
  EXPECT_EQ(dlg.DoModal(), mrCancel);
}
