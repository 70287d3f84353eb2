// The installer's dialogs during a real run, drawn by widgets: a DEBUG run whose first install
// library fails asks its question, and the progress dialog stays open at the end with its Close
// button. Both are pictured (quillet_question.png, quillet_run.png beside the test program).
#include "RunSupport.h"

#include "InstallerDlg.h"

using namespace insttest;

TEST_F(Volume, RunDialogsAreDrawn) {
  ASSERT_TRUE(FormsScript::HasWindows());
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Fail32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  const std::string folder = ProgramFolder();
  FormsScript::OnForm("CQuestionDlg", [&](TForm& f) {
    EXPECT_TRUE(FormsScript::SaveImage(f, folder + "quillet_question.png"));
    FormsScript::Click(*static_cast<CQuestionDlg&>(f).btnYes);
  });
  CloseWhenFinished([&](TForm& f) {
    auto& d = static_cast<CInstallerDlg&>(f);
    EXPECT_EQ(d.btnCancel->Caption(), "Close");
    EXPECT_EQ(d.StatusText(), "Install successfully completed");
    EXPECT_TRUE(FormsScript::SaveImage(f, folder + "quillet_run.png"));
  });
  EXPECT_EQ(Run("/DE /BC:\\INST /PAB DEBUG"), 0);
  EXPECT_EQ(Installed().size(), 1u);
}
