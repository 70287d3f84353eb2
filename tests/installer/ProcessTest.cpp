// Quillet run as a program of its own: a copy of it beside a dll32 folder of test libraries, a
// test volume on drive E, the exit status and the datagram the starter receives.
#include "RunSupport.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <cstring>

using namespace insttest;

namespace {

class Process : public Volume {
 protected:
  // Copies Quillet and the test libraries into a program folder of its own; returns the program.
  std::string Install() {
    auto prog = root_ / "prog";
    std::filesystem::create_directories(prog / "dll32");
    std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + "Quillet", prog / "Quillet");
    for (const char* lib : {"Copy32.so", "Merge32.so"})
      std::filesystem::copy_file(ProgramFolder() + "dll32/" + lib, prog / "dll32" / lib);
    return (prog / "Quillet").string();
  }
  int RunProgram(const std::string& program, const std::string& args) {
    std::string cmd = "cd '" + C() + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" + program + "' " + args +
                      " > '" + (root_ / "out.txt").string() + "' 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
  }
};

}  // namespace

TEST_F(Process, InstallsTheVolumeExitsWithTheResultAndNotifies) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  std::string program = Install();
  auto notify = root_ / "n";
  std::filesystem::create_directories(notify);
  std::filesystem::permissions(notify, std::filesystem::perms::owner_all);
  setenv("QUILLET_NOTIFY_DIR", notify.c_str(), 1);
  int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, (notify / "quillet-4242.sock").c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /H4242"), 0) << Read((root_ / "out.txt").string());
  EXPECT_NE(Read((root_ / "out.txt").string()).find("Install successfully completed"), std::string::npos);
  EXPECT_EQ(Installed().size(), 1u);
  EXPECT_EQ(Registry().size(), 1u);
  EXPECT_EQ(Calls().size(), 2u);
  uint8_t d[16];
  ASSERT_EQ(::recv(fd, d, sizeof d, MSG_DONTWAIT), 12);
  EXPECT_EQ(d[0], 0x01);
  EXPECT_EQ(d[1], 0x04);
  EXPECT_EQ(d[4], 0);

  // A volume without products: status 254 and the datagram says -2.
  std::filesystem::remove(E("quillet/products.dbf"));
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /H4242"), 254);
  ASSERT_EQ(::recv(fd, d, sizeof d, MSG_DONTWAIT), 12);
  EXPECT_EQ(d[4], 0xFE);
  EXPECT_EQ(d[7], 0xFF);
  // A failing library: 252; and with no listener at all the program still ends with its status.
  StandardVolume("2030");
  Work({{"DOC2", "V1", "GB", "EN", "2030", "VOL1", "1", "Missing"}});
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /H999"), 252);
  ::close(fd);
  unsetenv("QUILLET_NOTIFY_DIR");
}

TEST_F(Process, QuilletIniIsReadByOneRuleForDrivesAndTexts) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  std::string program = Install();
  // Quotes, blanks and a repeated key are taken alike in both sections: the first value counts.
  Write((root_ / "prog" / "quillet.ini").string(), "[Drives]\r\nC = " + C() + "\r\nE=\"" + E() +
                                                       "\"\r\ne\t= /nowhere\r\n[English]\r\nInstallSuccess = 'Fertig'\r\n"
                                                       "installsuccess=Done\r\n");
  unsetenv("QUILLET_DRIVES");
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /LENGLISH"), 0) << Read((root_ / "out.txt").string());
  EXPECT_NE(Read((root_ / "out.txt").string()).find("Fertig"), std::string::npos);
  EXPECT_EQ(Installed().size(), 1u);
}
