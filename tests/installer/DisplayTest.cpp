// The dialogs drawn by real widgets: an X server (Xvfb) is started for this test process when it
// is installed (Qt's offscreen platform draws them otherwise). The progress dialog during a run
// and the question dialog are pictured into PNG files beside the test program.
#include "FormsScript.h"
#include "InstallerDlg.h"
#include "../support/XvfbServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

testsupport::XvfbServer gDisplay;

}  // namespace

TEST(InstallerDisplay, DialogsAreDrawn) {
  ASSERT_TRUE(FormsScript::HasWindows());
  FormsScript::Reset();
  Application->ResetRun();
  CInstallerDlg dlg(nullptr);
  dlg.StartInstallHook = [](CInstallerDlg& d) {
    d.SetStatusText("[Service data 2026/11] Installing workunit DOCS1234...");
    FormsScript::OnForm("CInstallerDlg", [](TForm& f) {
      EXPECT_TRUE(FormsScript::SaveImage(f, "installer.png"));
      auto& d = static_cast<CInstallerDlg&>(f);
      CQuestionDlg q("A newer volume is present. Install it now?", &d);
      FormsScript::OnForm("CQuestionDlg", [](TForm& qf) {
        EXPECT_TRUE(FormsScript::SaveImage(qf, "question.png"));
        FormsScript::Click(*static_cast<CQuestionDlg&>(qf).btnYes);
      });
      EXPECT_EQ(q.DoModal(), mrYes);
      FormsScript::Click(*d.btnCancel);
    });
  };
  EXPECT_EQ(dlg.DoModal(), mrCancel);
}
