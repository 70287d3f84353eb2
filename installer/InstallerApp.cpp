// The installer application: command line, message texts, start and exit, and the datagram that
// tells the starter how the install ended.
#include "InstallerApp.h"

#include "ErrLog.h"
#include "Files.h"
#include "Forms.h"
#include "Helpers.h"
#include "HostPath.h"
#include "InstallRun.h"
#include "InstallerDlg.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int32_t CancelWord = 0;

namespace {

struct MessageDef {
  const char* key;
  const char* text;
};

const std::array<MessageDef, msgCount> kMessages = {{
    {"Cancel", "Cancel"},
    {"MessageBoxTitle", "Installer"},
    {"CloseString", "Close"},
    {"YesString", "&Yes"},
    {"NoString", "&No"},
    {"StartingInstall", "Starting Install..."},
    {"InstallAborted", "Install Aborted.  Please wait while the installation is terminated..."},
    {"InstallSuccess", "Install successfully completed"},
    {"ReallyCancel", "Do you really want to cancel the installation?"},
    {"MissingProducts", "Volume does not contain necessary product information"},
    {"MissingWorkunitList", "Component is missing workunit list"},
    {"ProcessingTemplate", "Installing [%s]..."},
    {"NoModuleTemplate", "[%s] No module association could be found this workunit"},
    {"WorkunitFailedTemplate", "[%s] could not be installed properly.  Do you want to continue?"},
    {"OlderTemplate", "[%s] workunit is already up-to-date..."},
    {"AddingTemplate", "[%s] workunit will be added..."},
    {"", "[%s] workunit will be updated..."},
    {"MissingDest", "Destination workunit table coule not be opened/created"},
    {"SmashingTemplate", "[%s] Merging entry point data from volume..."},
    {"OldVolumeError", "This volume is an older version of a volume you've already installed."},
    {"OldVolumeTemplate",
     "[%s] This volume is an older version than what's already installed.  Continue installation without this volume?"},
    {"MissingModules", "Component is missing its module table"},
    {"IndexRebuiltTemplate", "The index %s did not agree with its table and was built again"},
    {"RegistryDamagedTemplate", "The installed volume registry %s is damaged; this volume replaces it"},
    {"RegistryLockedTemplate", "The installed volume registry %s is in use by another program; try again when it has finished"},
    {"IniUnreadableTemplate", "The settings file could not be read: %s"},
    {"RunErrorTemplate", "The install stopped on an error: %s"},
    {"RegistryNotWrittenTemplate", "The installed volume registry %s could not be written; the volume is not registered"},
}};

// The message table: made on first use and, like every process-wide object the exit handler
// may reach, never destroyed (the handler runs after the destructors of what was made after it
// was registered).
std::array<std::string, msgCount>& Texts() {
  static auto* texts = [] {
    auto* t = new std::array<std::string, msgCount>;
    for (int i = 0; i < msgCount; ++i) (*t)[i] = kMessages[i].text;
    return t;
  }();
  return *texts;
}

// The window number of H: its leading decimal digits; none, or more than 32 bits hold, give 0.
uint32_t WindowNumber(std::string_view value) {
  uint64_t n = 0;
  size_t i = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    n = n * 10 + uint64_t(value[i] - '0');
    if (n > 0xFFFFFFFFull) return 0;
  }
  return uint32_t(n);
}

}  // namespace

const std::string& Msg(MessageId id) { return Texts()[id]; }
const char* MsgKey(MessageId id) { return kMessages[id].key; }

void ResetMessages() {
  for (int i = 0; i < msgCount; ++i) Texts()[i] = kMessages[i].text;
}

// The program ends while the run is under way (an install library called exit): the status and
// the datagram say that the run did not finish, instead of the 0 the library passed.
static void ExitDuringRun() {
  if (!RunInProgress()) return;
  CInstallerApp& app = App();
  if (app.ResultCode == 0) app.ResultCode = kInstallDllFailed;
  CloseRunTables();
  std::fprintf(stderr, "Quillet: the program was ended during the install run; the install did not finish\n");
  if (app.NotifyWindow != 0) SendExitNotification(app.NotifyWindow, app.ResultCode);
  std::fflush(nullptr);
  ::_exit(ExitStatus(app.ResultCode));
}

const std::string& FormatMessage(const std::string& tmpl, const std::string& arg) {
  static auto& buffer = *new std::string;  // never destroyed, as the message table
  buffer.clear();
  buffer.reserve(tmpl.size() + arg.size());
  for (size_t i = 0; i < tmpl.size(); ++i) {
    if (tmpl[i] == '%' && i + 1 < tmpl.size()) {
      if (tmpl[i + 1] == 's') {
        buffer += arg;
        ++i;
        continue;
      }
      if (tmpl[i + 1] == '%') {
        buffer += '%';
        ++i;
        continue;
      }
    }
    buffer += tmpl[i];
  }
  return buffer;
}

CInstallerApp& App() {
  static CInstallerApp app;
  return app;
}

void CInstallerApp::Reset() { *this = CInstallerApp(); }

void CInstallerApp::ParseCommandLine(const std::string& line) {
  const std::string upper = UpperText(line);
  size_t start = 0;
  while (start <= upper.size()) {
    size_t end = upper.find(' ', start);
    if (end == std::string::npos) end = upper.size();
    std::string token = upper.substr(start, end - start);
    start = end + 1;
    if (token.size() < 2) continue;
    if (token == "DEBUG") {
      DebugMode = 1;
      continue;
    }
    if (token == "PAUSED") {
      PausedMode = 1;
      continue;
    }
    std::string value = token.substr(2);
    switch (token[1]) {
      case 'B':
        if (!value.empty() && value.back() == '\\') value.pop_back();
        B = value;
        break;
      case 'D': D = value; break;
      case 'E': E = value; break;
      case 'H': NotifyWindow = WindowNumber(value); break;
      case 'I': I = value; break;
      case 'L': L = value; break;
      case 'P': P = value; break;
      default: Beep(); break;  // a letter outside the table
    }
  }
}

std::string CInstallerApp::IniPath() { return FindFileNoCase(ProgramFolder() + "quillet.ini"); }

void CInstallerApp::LoadMessages(const std::string& iniHostPath) {
  if (!L || iniHostPath.empty()) return;
  auto pairs = ReadIniSection(iniHostPath, *L, &IniProblem);
  for (int i = 0; i < msgCount; ++i) {
    std::string key = UpperText(kMessages[i].key);
    if (key.empty()) continue;
    for (auto& [k, v] : pairs)
      if (k == key && !v.empty()) Texts()[i] = v;
  }
}

void CInstallerApp::InitInstance(const std::string& commandLine) {
  // What the exit handler uses (the log, the table session, the library holder) is made before
  // the handler is registered, so that a program ended by exit() destroys it only after the handler.
  static const bool exitWatched = (PrepareRunState(), std::atexit(ExitDuringRun) == 0);
  (void)exitWatched;
  ErrorLog().SetFile("QUILLET.ERR", 0, 0, 0);
  Reset();
  CancelWord = 0;
  // The run reports what stops it inside the dialog; whatever escapes before or after it still
  // ends the program as a failure, with its status and datagram, never as done.
  try {
    Start(commandLine);
  } catch (const std::exception& e) {
    if (ResultCode == 0) ResultCode = kInstallDllFailed;
    std::fprintf(stderr, "Quillet: the install stopped on an error: %s\n", e.what());
  } catch (...) {
    if (ResultCode == 0) ResultCode = kInstallDllFailed;
    std::fprintf(stderr, "Quillet: the install stopped on an error\n");
  }
}

void CInstallerApp::Start(const std::string& commandLine) {
  if (!commandLine.empty()) ParseCommandLine(commandLine);
  if (L) LoadMessages(IniPath());

  CInstallerDlg dlg(nullptr);
  dlg.SetColor(0xC0C0C0);  // light grey, black text
  dlg.Font.Color = 0;
  dlg.MessageBoxTitle = Msg(msgMessageBoxTitle);
  dlg.CancelText = Msg(msgCancel);
  dlg.PausedMode = PausedMode != 0;
  dlg.StartInstallHook = [](CInstallerDlg& d) { RunInstall(d); };
  dlg.CancelHook = [](CInstallerDlg& d) { CancelInstall(d); };
  dlg.DoModal();
  if (PausedMode && ResultCode == 0) {
    // In PAUSED mode only Cancel ends the dialog, and nothing is installed: a dialog that closed
    // any other way (no display to press Cancel on) ends as cancelled, never as done.
    if (!Application->HasWindows())
      std::fprintf(stderr, "Quillet: PAUSED waits for the Cancel button, and there is no display: nothing was installed\n");
    ResultCode = kInstallCancelled;
  }
}

int CInstallerApp::ExitInstance() {
  if (NotifyWindow != 0) SendExitNotification(NotifyWindow, ResultCode);
  L.reset(), P.reset(), B.reset(), I.reset(), E.reset(), D.reset(), ProductLanguage.reset();
  return ResultCode;
}

std::string JoinArguments(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

int ExitStatus(int result) { return result & 0xFF; }

std::string NotifyFolder() {
  if (const char* dir = std::getenv("QUILLET_NOTIFY_DIR"); dir && *dir) return dir;
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) return dir;
  return "/tmp/quillet-" + std::to_string(::getuid());
}

std::string NotifySocketPath(uint32_t window) {
  return NotifyFolder() + "/quillet-" + std::to_string(window) + ".sock";
}

bool SendExitNotification(uint32_t window, int result) {
  const std::string path = NotifySocketPath(window);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof(addr.sun_path)) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  uint8_t message[12];
  auto put = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) message[at + i] = uint8_t(v >> (8 * i));
  };
  put(0, 0x0401u);
  put(4, uint32_t(int32_t(result)));
  put(8, 0);
  ssize_t sent = ::sendto(fd, message, sizeof message, MSG_DONTWAIT | MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  ::close(fd);
  return sent == ssize_t(sizeof message);
}
