// The dialogs drawn by real widgets: an X server (Xvfb) is started for this test process when it
// is installed (Qt's offscreen platform draws them otherwise). The progress dialog during a run
// and the question dialog are pictured into PNG files beside the test program.
#include "FormsScript.h"
#include "InstallerDlg.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the X keyboard library trips the sanitizer's string checks
#else
constexpr bool kSanitized = false;
#endif

class DisplayServer {
 public:
  DisplayServer() {
    int fds[2];
    if (!kSanitized && access("/usr/bin/Xvfb", X_OK) == 0 && pipe(fds) == 0) {
      pid_ = fork();
      if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
              static_cast<char*>(nullptr));
        _exit(127);
      }
      close(fds[1]);
      std::string number;
      char c;
      while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
      close(fds[0]);
      if (pid_ > 0 && !number.empty()) {
        setenv("DISPLAY", (":" + number).c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");
        return;
      }
      Stop();
    }
    setenv("DISPLAY", ":offscreen", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  ~DisplayServer() { Stop(); }

 private:
  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  pid_t pid_ = -1;
};

DisplayServer gDisplay;

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
