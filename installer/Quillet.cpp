// The workunit installer program: the application's start and exit around the main dialog; the
// result of the install is the process exit status (its low byte).
#include "Forms.h"
#include "InstallerApp.h"

int main(int argc, char** argv) {
  Application->Initialize();
  CInstallerApp& app = App();
  app.InitInstance(JoinArguments(argc, argv));
  int result = app.ExitInstance();
  Application->FreeForms();
  return ExitStatus(result);
}
