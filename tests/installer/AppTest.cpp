// The application: the command line, the message texts from the ini file, the formatting of
// texts, exit statuses and the datagram that tells the starter the result.
#include "HostPath.h"
#include "InstallerApp.h"

#include "Dialogs.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

CInstallerApp Parse(const std::string& line) {
  CInstallerApp app;
  app.ParseCommandLine(line);
  return app;
}

}  // namespace

TEST(CommandLine, TheExampleLine) {
  CInstallerApp app = Parse("/DE /BC:\\WORK\\ /PAB /LENGLISH /H1234 DEBUG");
  EXPECT_EQ(app.D, "E");
  EXPECT_EQ(app.B, "C:\\WORK");
  EXPECT_EQ(app.P, "AB");
  EXPECT_EQ(app.L, "ENGLISH");
  EXPECT_EQ(app.NotifyWindow, 1234u);
  EXPECT_EQ(app.DebugMode, 1);
  EXPECT_EQ(app.PausedMode, 0);
  EXPECT_FALSE(app.I);
  EXPECT_FALSE(app.E);
}

TEST(CommandLine, TokensCaseAndOddValues) {
  CInstallerApp app = Parse("debug paused -pab /b /iX /eY  /dc: x /Pcd");
  EXPECT_EQ(app.DebugMode, 1);
  EXPECT_EQ(app.PausedMode, 1);
  EXPECT_EQ(app.P, "CD");  // a later token replaces the earlier value; values upper case
  EXPECT_EQ(app.B, "");    // "/B" alone: empty
  EXPECT_EQ(app.I, "X");
  EXPECT_EQ(app.E, "Y");
  EXPECT_EQ(app.D, "C:");
  EXPECT_EQ(Parse("/B\\").B, "");
  EXPECT_EQ(Parse("/Hxyz").NotifyWindow, 0u);
  EXPECT_EQ(Parse("/H12ab").NotifyWindow, 12u);
  EXPECT_EQ(Parse("/H4294967295").NotifyWindow, 4294967295u);
  EXPECT_EQ(Parse("/H4294967296").NotifyWindow, 0u);  // more than 32 bits hold
  EXPECT_EQ(Parse("/H99999999999999999999999").NotifyWindow, 0u);
  EXPECT_EQ(Parse("").P, std::nullopt);
}

TEST(CommandLine, UnknownLettersBeepAndAreIgnored) {
  int before = BeepCount();
  CInstallerApp app = Parse("/CX /FX /ZZ /PAB /1 X");
  EXPECT_EQ(BeepCount(), before + 4);  // C, F, Z and 1
  EXPECT_EQ(app.P, "AB");
}

TEST(CommandLine, AnyLengthParses) {
  std::string value(100000, 'q');
  CInstallerApp app = Parse("/P" + value + " /DE");
  EXPECT_EQ(app.P->size(), value.size());
  EXPECT_EQ(app.D, "E");
  char* argv[] = {const_cast<char*>("Quillet"), const_cast<char*>("/PAB"), const_cast<char*>("DEBUG")};
  EXPECT_EQ(JoinArguments(3, argv), "/PAB DEBUG");
  EXPECT_EQ(JoinArguments(1, argv), "");
}

TEST(Messages, FormattingTakesOnlyPercentS) {
  EXPECT_EQ(FormatMessage("[%s] workunit will be added...", "DOC1"), "[DOC1] workunit will be added...");
  EXPECT_EQ(FormatMessage("%s and %s", "A"), "A and A");
  EXPECT_EQ(FormatMessage("100%% %n %d %", "A"), "100% %n %d %");
  EXPECT_EQ(FormatMessage("%%s", "A"), "%s");
  EXPECT_EQ(FormatMessage("", "A"), "");
}

TEST(Messages, IniSectionParsing) {
  std::string text =
      "; comment\r\n[other]\nCancel=No\n[English]\r\n  cancel = \"Abbrechen\"  \r\n;Close=x\n"
      "YesString='Ja'\nNoString=\"\nEmpty=\nmessageboxtitle=Ins=taller\nCANCEL=second\n[english]\nInstallSuccess=Done";
  auto kv = ParseIniSection(text, "ENGLISH");
  ASSERT_EQ(kv.size(), 6u);
  EXPECT_EQ(kv[0], (std::pair<std::string, std::string>{"CANCEL", "Abbrechen"}));
  EXPECT_EQ(kv[1].second, "Ja");
  EXPECT_EQ(kv[2].second, "\"");  // a lone quote stays
  EXPECT_EQ(kv[3].second, "");
  EXPECT_EQ(kv[4].second, "Ins=taller");
  EXPECT_EQ(kv[5].second, "Done");
  EXPECT_TRUE(ParseIniSection(text, "missing").empty());
  std::string longValue(1000, 'x');
  EXPECT_EQ(ParseIniSection("[s]\nk=" + longValue, "S")[0].second.size(), 254u);
  EXPECT_TRUE(ParseIniSection("k=v\n[", "").empty());
}

class IniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMessages();
    path_ = std::filesystem::temp_directory_path() / ("quillet_ini_" + std::to_string(::getpid()) + ".ini");
  }
  void TearDown() override {
    ResetMessages();
    std::filesystem::remove(path_);
  }
  std::filesystem::path path_;
};

TEST_F(IniFile, SectionOfOptionLReplacesNonEmptyTexts) {
  std::ofstream(path_) << "[GERMAN]\nCancel=Abbrechen\nCloseString=\nAddingTemplate=[%s] wird %n %s hinzugefügt\n"
                          "InstallSuccess=" << std::string(400, 'z') << "\n";
  CInstallerApp app = Parse("/LGerman");
  app.LoadMessages(path_.string());
  EXPECT_EQ(Msg(msgCancel), "Abbrechen");
  EXPECT_EQ(Msg(msgCloseString), "Close");  // empty keeps the built-in text
  EXPECT_EQ(Msg(msgInstallSuccess).size(), 254u);
  EXPECT_EQ(Msg(msgUpdatingTemplate), "[%s] workunit will be updated...");
  // A hostile template shows safely.
  EXPECT_EQ(FormatMessage(Msg(msgAddingTemplate), "U1"), "[U1] wird %n U1 hinzugefügt");
  ResetMessages();
  CInstallerApp noSection = Parse("/LFRENCH");
  noSection.LoadMessages(path_.string());
  EXPECT_EQ(Msg(msgCancel), "Cancel");
  CInstallerApp noL;
  noL.LoadMessages(path_.string());
  EXPECT_EQ(Msg(msgCancel), "Cancel");
  app.LoadMessages((path_.string() + ".missing"));
  EXPECT_EQ(Msg(msgCancel), "Cancel");
}

TEST(Messages, BuiltInTextsAndKeys) {
  ResetMessages();
  EXPECT_EQ(Msg(msgMissingDest), "Destination workunit table coule not be opened/created");
  EXPECT_EQ(Msg(msgInstallAborted), "Install Aborted.  Please wait while the installation is terminated...");
  EXPECT_STREQ(MsgKey(msgUpdatingTemplate), "");
  EXPECT_STREQ(MsgKey(msgSmashingTemplate), "SmashingTemplate");
}

TEST(Exit, StatusIsTheResultsLowByte) {
  EXPECT_EQ(ExitStatus(0), 0);
  EXPECT_EQ(ExitStatus(-1), 255);
  EXPECT_EQ(ExitStatus(-2), 254);
  EXPECT_EQ(ExitStatus(-3), 253);
  EXPECT_EQ(ExitStatus(-4), 252);
  EXPECT_EQ(ExitStatus(-5), 251);
}

class Notify : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("quillet_notify_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
    setenv("QUILLET_NOTIFY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    unsetenv("QUILLET_NOTIFY_DIR");
    std::filesystem::remove_all(dir_);
  }
  void Bind(uint32_t window) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    ASSERT_GE(fd_, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = NotifySocketPath(window);
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  }
  std::vector<uint8_t> Receive() {
    uint8_t buffer[64];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    return n < 0 ? std::vector<uint8_t>() : std::vector<uint8_t>(buffer, buffer + n);
  }
  std::filesystem::path dir_;
  int fd_ = -1;
};

TEST_F(Notify, OneDatagramWithTheResult) {
  EXPECT_EQ(NotifySocketPath(77), dir_.string() + "/quillet-77.sock");
  Bind(77);
  EXPECT_TRUE(SendExitNotification(77, -4));
  auto d = Receive();
  ASSERT_EQ(d.size(), 12u);
  EXPECT_EQ(d, (std::vector<uint8_t>{0x01, 0x04, 0, 0, 0xFC, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_TRUE(Receive().empty());
  // Exit sends it when H named the window, once.
  CInstallerApp app;
  app.ParseCommandLine("/H77");
  app.ResultCode = -1;
  EXPECT_EQ(app.ExitInstance(), -1);
  d = Receive();
  ASSERT_EQ(d.size(), 12u);
  EXPECT_EQ(d[4], 0xFF);
}

TEST_F(Notify, NoListenerNothingHappens) {
  EXPECT_FALSE(SendExitNotification(78, 0));
  unsetenv("QUILLET_NOTIFY_DIR");
  setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  EXPECT_EQ(NotifyFolder(), dir_.string());
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(NotifyFolder(), "/tmp/quillet-" + std::to_string(::getuid()));
  setenv("QUILLET_NOTIFY_DIR", std::string(200, 'x').c_str(), 1);
  EXPECT_FALSE(SendExitNotification(1, 0));  // a path too long for a socket
}

TEST_F(Notify, AReaderThatDoesNotReadDoesNotBlock) {
  Bind(79);
  int sent = 0;
  for (int i = 0; i < 100000 && SendExitNotification(79, 0); ++i) ++sent;
  EXPECT_GT(sent, 0);
  EXPECT_LT(sent, 100000);  // the queue filled up and the send gave up instead of waiting
}
