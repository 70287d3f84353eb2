// The installer application: its state (options of the command line, run flags, result), the
// message table with its ini texts, the start and exit of the program and the notification of
// the starter at exit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Results of the run; also the process exit status (as the low byte) and the notification.
enum InstallResult : int {
  kInstallOk = 0,
  kInstallCancelled = -1,
  kInstallNoProducts = -2,
  kInstallNoWorkunitList = -3,
  kInstallDllFailed = -4,
  kInstallNoDestination = -5,
};

/// The slots of the message table, in the order of their ini keys.
enum MessageId : int {
  msgCancel,
  msgMessageBoxTitle,
  msgCloseString,
  msgYesString,
  msgNoString,
  msgStartingInstall,
  msgInstallAborted,
  msgInstallSuccess,
  msgReallyCancel,
  msgMissingProducts,
  msgMissingWorkunitList,
  msgProcessingTemplate,
  msgNoModuleTemplate,
  msgWorkunitFailedTemplate,
  msgOlderTemplate,
  msgAddingTemplate,
  msgUpdatingTemplate,  // built in only: no ini key
  msgMissingDest,
  msgSmashingTemplate,
  msgOldVolumeError,
  msgOldVolumeTemplate,
  // Texts of this installer's own further checks, with ini keys of their own.
  msgMissingModules,
  msgIndexRebuiltTemplate,
  msgRegistryDamagedTemplate,
  msgRegistryLockedTemplate,
  msgIniUnreadableTemplate,
  msgRunErrorTemplate,
  msgRegistryNotWrittenTemplate,
  msgCount
};

/// The current text of a message slot.
const std::string& Msg(MessageId id);
/// The ini key of a slot ("" for the one without a key).
const char* MsgKey(MessageId id);
/// Puts every slot back to its built-in text.
void ResetMessages();

/// The template with each "%s" replaced by the argument and each "%%" by "%"; any other "%"
/// stays as it is. The result is kept in one process-wide buffer, as the dialog shows it from there.
const std::string& FormatMessage(const std::string& tmpl, const std::string& arg);

/// The process-wide word an install library watches: 1 once the user confirmed a cancel.
extern int32_t CancelWord;

class CInstallerApp {
 public:
  int DebugMode = 0;
  int PausedMode = 0;
  int StopRequested = 0;
  int RunFinished = 0;
  std::optional<std::string> L, P, B, I, E, D;
  std::optional<std::string> ProductLanguage;
  uint32_t NotifyWindow = 0;
  int ResultCode = 0;
  /// The ini file of the texts of L when it is there and cannot be read: its name and why.
  std::string IniProblem;

  /// Clears the state to that of a fresh start.
  void Reset();
  /// Upper-cases the command line and takes its tokens (see the README).
  void ParseCommandLine(const std::string& line);
  /// Replaces message texts from section L of the ini file (a host path); nothing when L is
  /// absent or the file or section is missing.
  void LoadMessages(const std::string& iniHostPath);
  /// The ini file beside the program: its quillet.ini, found whatever its letter case.
  static std::string IniPath();

  /// The start: log, state, command line, messages, then the main dialog modally (the install
  /// run happens inside it). `commandLine` is the program's arguments joined with blanks.
  void InitInstance(const std::string& commandLine);
  /// The part of the start that can fail: command line, texts and the dialog.
  void Start(const std::string& commandLine);
  /// The exit: notifies the starter when asked, frees the options; returns ResultCode.
  int ExitInstance();
};

/// The one application object.
CInstallerApp& App();

/// The program's arguments (without the program name) joined with blanks.
std::string JoinArguments(int argc, char** argv);
/// The process exit status of a result: its low byte (-1 gives 255, -5 gives 251).
int ExitStatus(int result);

/// The folder of the notification sockets: $QUILLET_NOTIFY_DIR, else $XDG_RUNTIME_DIR, else
/// /tmp/quillet-<uid>.
std::string NotifyFolder();
/// The notification socket of a window number: NotifyFolder()/quillet-N.sock.
std::string NotifySocketPath(uint32_t window);
/// Sends one 12-byte datagram (uint32 0x0401, int32 result, int32 0, little-endian) to the
/// window's socket without blocking. True when it was sent; false (and nothing else) when no
/// one listens.
bool SendExitNotification(uint32_t window, int result);
