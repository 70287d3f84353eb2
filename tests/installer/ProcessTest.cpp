// Quillet run as a program of its own: a copy of it beside a dll32 folder of test libraries, a
// test volume on drive E, the exit status and the datagram the starter receives.
#include "RunSupport.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <cstring>
#include <set>

using namespace insttest;

namespace {

const char* const kArgs = "/DE '/BC:\\INST' /PAB";

class Process : public Volume {
 protected:
  std::string Install() { return InstallProgram(); }
  // A datagram socket bound where the program run with /H<handle> sends its result, under a
  // notification folder named by QUILLET_NOTIFY_DIR; -1 when it cannot be bound.
  int NotifySocket(int handle) {
    auto notify = root_ / "n";
    std::filesystem::create_directories(notify);
    std::filesystem::permissions(notify, std::filesystem::perms::owner_all);
    setenv("QUILLET_NOTIFY_DIR", notify.c_str(), 1);
    int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, (notify / ("quillet-" + std::to_string(handle) + ".sock")).c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }
  // Runs the program headless; its output goes through a pipe into out.txt. With `fileBlocks`
  // no file the program writes may grow past that many 512-byte blocks (a full disk for it):
  // writes past the limit fail (SIGXFSZ is ignored).
  // `trap` names a system call at which the program is killed or fails (see SyscallTrap.c):
  // "TRAP_CALL=rename TRAP_FILE=RELWORK.CDX".
  int RunProgram(const std::string& program, const std::string& args, int fileBlocks = -1,
                 const std::string& trap = "", int memoryKb = -1) {
    std::string env;
    if (!trap.empty())
      env = "LD_PRELOAD='" + ProgramFolder() + "SyscallTrap.so' ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" " + trap + " ";
    std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY " + env + "'" + program + "' " + args;
    if (fileBlocks >= 0) run = "trap '' XFSZ; ulimit -f " + std::to_string(fileBlocks) + "; " + run;
    if (memoryKb >= 0) run = "ulimit -v " + std::to_string(memoryKb) + "; " + run;
    const std::string status = (root_ / "status.txt").string();
    std::string cmd = "cd '" + C() + "' && { (" + run + "); echo $? > '" + status + "'; } 2>&1 | cat > '" +
                      (root_ / "out.txt").string() + "'";
    std::system(cmd.c_str());
    std::string code = Read(status);
    return code.empty() ? -1000 : std::atoi(code.c_str());
  }
  std::string Output() { return Read((root_ / "out.txt").string()); }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
  // Workunits DOC<from> to DOC<to - 1> of the volume VOL1 dated `date`, without install library.
  static std::vector<Row> Units(int from, int to, const std::string& date) {
    std::vector<Row> rows;
    for (int i = from; i < to; ++i) rows.push_back({"D" + std::to_string(10000 + i), "V1", "GB", "EN", date, "VOL1", "1", ""});
    return rows;
  }
  // The installation's unit codes, each once (a code recorded twice fails the test).
  std::set<std::string> UnitCodes() {
    std::set<std::string> codes;
    for (auto& r : Installed()) EXPECT_TRUE(codes.insert(r["UNITCODE"]).second) << r["UNITCODE"] << " twice";
    return codes;
  }
  void LowerCaseInstallation(std::string& program);
  // DOC1 to DOC3, the second installed by a library that ends the program.
  void ExitingVolume() {
    StandardVolume();
    Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"},
          {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Exit32"},
          {"DOC3", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  }
  // AB000000 to AB000004 installed from a volume of 2024; the volume on drive E dated 2025 next.
  std::string FiveInstalled() {
    StandardVolume("2024");
    AbUnits(0, 5, "2024");
    std::string program = Install();
    EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
    VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
    return program;
  }
  // Whether every tag of the installation's index holds exactly the keys of its records.
  bool IndexMatches() {
    auto t = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), true);
    std::string cdx = FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"));
    return t && !cdx.empty() && t->openIndex(cdx) == 0 && t->index()->matchesRecords();
  }
  // The keys of tag BYCODE in the installation's index (-1 when it does not open).
  long IndexKeys() {
    auto t = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), true);
    std::string cdx = FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"));
    if (!t || cdx.empty() || t->openIndex(cdx) != 0) return -1;
    return long(t->index()->tag("BYCODE")->keyCount());
  }
};

}  // namespace

TEST_F(Process, FullDiskEndsWith251AndARerunInstallsWhatIsMissing) {
  StandardVolume("2024");
  Work(Units(0, 20, "2024"));
  std::string program = Install();
  ASSERT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB"), 0) << Output();
  const auto indexSize = std::filesystem::file_size(FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX")));

  // Room for the records but not for the index: the index write fails at the end.
  VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
  Work(Units(0, 40, "2025"));
  ASSERT_LT(257 + 40 * 46, int(indexSize) - 512);
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB", int(indexSize / 512) - 1), 251) << Output();
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2024");  // not registered
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB"), 0) << Output();
  EXPECT_EQ(Count(Output(), "will be added"), 0u);  // all 40 were recorded; the index is built again
  EXPECT_EQ(Installed().size(), 40u);
  EXPECT_EQ(IndexKeys(), 40);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");

  // No room for the records: 200 new workunits, none recorded, the run ends with 251.
  VolumeRecord({"VOL1", "Service volume 3", "2026", "", ""});
  Work(Units(0, 240, "2026"));
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB", 16), 251) << Output();
  EXPECT_EQ(Installed().size(), 40u);
  EXPECT_EQ(IndexKeys(), 40);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
  // Space freed: the rerun adds exactly the 200 that are missing.
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB"), 0) << Output();
  EXPECT_EQ(Count(Output(), "will be added"), 200u);
  EXPECT_EQ(Installed().size(), 240u);
  EXPECT_EQ(IndexKeys(), 240);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2026");
}

TEST_F(Process, FirstInstallOnAFullDiskLeavesNoTableThatBlocksTheNext) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  std::string program = Install();
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB", 0), 251) << Output();
  EXPECT_EQ(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), "");
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB"), 0) << Output();
  EXPECT_EQ(Installed().size(), 1u);
}

TEST_F(Process, LibraryThatEndsTheProgramLeaves252AndItsDatagram) {
  ExitingVolume();
  std::string program = Install();
  const int fd = NotifySocket(7);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /H7"), 252) << Output();
  uint8_t d[16];
  ASSERT_EQ(::recv(fd, d, sizeof d, MSG_DONTWAIT), 12);
  EXPECT_EQ(d[4], 0xFC);  // -4
  ::close(fd);
  unsetenv("QUILLET_NOTIFY_DIR");
  // What was recorded before the exit stays; the volume is not registered, so a rerun with a
  // mended library installs the rest.
  auto installed = Installed();
  ASSERT_EQ(installed.size(), 1u);
  EXPECT_EQ(installed[0]["UNITCODE"], "DOC1");
  EXPECT_TRUE(Registry().empty());
}

TEST_F(Process, InstallsTheVolumeExitsWithTheResultAndNotifies) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  std::string program = Install();
  const int fd = NotifySocket(4242);
  ASSERT_GE(fd, 0);

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

TEST_F(Process, QuilletIniWithAMarkOrAnyLineEndsIsReadAndOneThatCannotBeReadIsNamed) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  std::string program = Install();
  const std::string ini = (root_ / "prog" / "quillet.ini").string();
  unsetenv("QUILLET_DRIVES");
  const std::string lines[] = {"[Drives]", "C=" + C(), "E=" + E(), "[English]", "InstallSuccess=Fertig"};
  // Written by editors of any kind: a byte-order mark, and CR LF, LF or CR line ends.
  for (const std::string mark : {"", "\xEF\xBB\xBF"})
    for (const std::string end : {"\r\n", "\n", "\r"}) {
      SCOPED_TRACE((mark.empty() ? "no mark, " : "mark, ") + std::to_string(end.size()) + " byte line ends");
      std::string text = mark;
      for (const std::string& line : lines) text += line + end;
      Write(ini, text);
      std::filesystem::remove_all(C("INST"));
      EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /LENGLISH"), 0) << Output();
      EXPECT_NE(Output().find("Fertig"), std::string::npos) << Output();
      EXPECT_EQ(Installed().size(), 1u);
    }
  // A quillet.ini that is there and cannot be read (here a folder) is named; the run fails with
  // its status and datagram instead of looking for the volume where no drive map leads.
  const int fd = NotifySocket(5);
  ASSERT_GE(fd, 0);
  std::filesystem::remove(ini);
  std::filesystem::create_directories(ini);
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /H5"), 254) << Output();
  EXPECT_NE(Output().find("The settings file could not be read: " + ini + ": Is a directory"), std::string::npos)
      << Output();
  EXPECT_EQ(Output().find("Install successfully completed"), std::string::npos) << Output();
  uint8_t d[16];
  ASSERT_EQ(::recv(fd, d, sizeof d, MSG_DONTWAIT), 12);
  EXPECT_EQ(d[4], 0xFE);  // -2
  // With the drives named in the environment the file is still needed for the texts of /L.
  setenv("QUILLET_DRIVES", ("C=" + C() + ";E=" + E()).c_str(), 1);
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /LENGLISH /H5"), 254) << Output();
  EXPECT_NE(Output().find(ini), std::string::npos) << Output();
  ASSERT_EQ(::recv(fd, d, sizeof d, MSG_DONTWAIT), 12);
  EXPECT_EQ(d[4], 0xFE);
  // And not without /L: the run goes on.
  std::filesystem::remove_all(C("INST"));
  EXPECT_EQ(RunProgram(program, "/DE '/BC:\\INST' /PAB /H5"), 0) << Output();
  ::close(fd);
  unsetenv("QUILLET_NOTIFY_DIR");
}

// ---- a run ended or failing at a named system call ----

// AB000000 to AB000019 installed, records 1 to 5 then put in lower case (as an older installer
// left them; table and index agree), and a newer volume bringing AB000020 to AB000024.
void Process::LowerCaseInstallation(std::string& program) {
  StandardVolume("2024");
  AbUnits(0, 20, "2024");
  program = Install();
  ASSERT_EQ(RunProgram(program, kArgs), 0) << Output();
  auto t = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), false);
  ASSERT_TRUE(t);
  ASSERT_EQ(t->openIndex(FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"))), 0);
  const int unit = t->fieldIndex("UNITCODE");
  for (int r = 1; r <= 5; ++r) {
    t->go(r);
    t->assignText(unit, "ab" + t->fieldText(unit).substr(2));
  }
  ASSERT_EQ(t->close(), 0);
  VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
  AbUnits(20, 25, "2025");
}

TEST_F(Process, KillAfterTheLowerCaseCleanUpPackedTheTableLosesNoWorkunit) {
  std::string program;
  ASSERT_NO_FATAL_FAILURE(LowerCaseInstallation(program));
  // Killed as the clean-up writes the index of the packed table: the old index stays.
  EXPECT_EQ(RunProgram(program, kArgs, -1, "TRAP_CALL=rename TRAP_FILE=RELWORK.CDX TRAP_NTH=1"), 137) << Output();
  EXPECT_EQ(Installed().size(), 15u);
  EXPECT_FALSE(IndexMatches());
  EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
  EXPECT_NE(Output().find("did not agree with its table and was built again"), std::string::npos) << Output();
  std::set<std::string> codes = UnitCodes();
  EXPECT_EQ(codes.size(), 20u);  // AB000005 to AB000024
  EXPECT_EQ(*codes.begin(), "AB000005");
  EXPECT_TRUE(IndexMatches());
}

TEST_F(Process, KillAtAnyWriteOfTheInstalledListLosesNoWorkunitAndRecordsNoneTwice) {
  std::string program;
  ASSERT_NO_FATAL_FAILURE(LowerCaseInstallation(program));
  const auto saved = root_ / "saved";
  std::filesystem::copy(C("INST"), saved, std::filesystem::copy_options::recursive);
  // Each write to the table in turn (the clean-up's deletions and packing, the new records, the
  // header): killed there, the rerun ends with every workunit once.
  int status = 137;
  for (int n = 1; status == 137 && n < 40; ++n) {
    SCOPED_TRACE("killed at write " + std::to_string(n));
    std::filesystem::remove_all(C("INST"));
    std::filesystem::copy(saved, C("INST"), std::filesystem::copy_options::recursive);
    status = RunProgram(program, kArgs, -1, "TRAP_CALL=pwrite TRAP_FILE=relwork.DBF TRAP_NTH=" + std::to_string(n));
    EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
    std::set<std::string> codes = UnitCodes();
    EXPECT_EQ(codes.size(), 20u);  // AB000005 to AB000024
    EXPECT_TRUE(IndexMatches());
  }
  EXPECT_EQ(status, 0);  // the last moment tried came after the run's last write
}

TEST_F(Process, IndexThatCannotBeWrittenLeavesNoWorkunitToBeRecordedTwice) {
  const std::string program = FiveInstalled();
  AbUnits(0, 8, "2024");
  // The index can be neither replaced nor removed (an immutable file does that).
  EXPECT_EQ(RunProgram(program, kArgs, -1, "TRAP_CALL=rename,unlink TRAP_FILE=RELWORK.CDX TRAP_ACTION=fail"), 251)
      << Output();
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2024");
  EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
  EXPECT_EQ(Count(Output(), "will be added"), 0u);  // the three were recorded by the run that failed
  EXPECT_EQ(UnitCodes().size(), 8u);
  EXPECT_TRUE(IndexMatches());
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
}

TEST_F(Process, KillAtTheIndexWriteOfUpdatedWorkunitsLeavesNoStaleKeyAfterTheRerun) {
  const std::string program = FiveInstalled();
  AbUnits(0, 5, "2025");  // each workunit updated in place
  EXPECT_EQ(RunProgram(program, kArgs, -1, "TRAP_CALL=rename TRAP_FILE=RELWORK.CDX TRAP_NTH=1"), 137) << Output();
  EXPECT_FALSE(IndexMatches());  // BYCODEDATE keeps the old dates
  EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
  EXPECT_EQ(Count(Output(), "will be updated"), 0u);
  EXPECT_EQ(UnitCodes().size(), 5u);
  for (auto& r : Installed()) EXPECT_EQ(r["PRODDATE"], "2025");
  EXPECT_TRUE(IndexMatches());
}

TEST_F(Process, LibraryThatEndsTheProgramWhileTheListCannotBeWrittenLeavesOnlyWhatIsCounted) {
  ExitingVolume();
  std::string program = Install();
  // The list's first write after its creation, that of DOC1's record in the exit handler, fails.
  EXPECT_EQ(RunProgram(program, kArgs, -1, "TRAP_CALL=pwrite TRAP_FILE=relwork.DBF TRAP_NTH=2 TRAP_ACTION=fail"), 252)
      << Output();
  EXPECT_NE(Output().find("the install did not finish"), std::string::npos) << Output();
  // What the exit handler uses outlives it: the library holder, among them, does not unload the
  // library whose call of exit() is still under way.
  EXPECT_EQ(Output().find("Exit32 unloaded"), std::string::npos) << Output();
  const std::string list = FindFileNoCase(C("INST/data/AB/EN/relwork.dbf"));
  auto t = tables::OpenTable(list, true);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->recCount(), 0);
  t.reset();
  const std::string bytes = Read(list);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.size(), size_t(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8) + 1);
  // The library mended: the rerun installs each workunit once.
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"},
        {"DOC3", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
  EXPECT_EQ(UnitCodes().size(), 3u);
}

TEST_F(Process, RunOutOfMemoryEndsAsAbortedAndTheRerunRecordsEachWorkunitOnce) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run in a limited address space";
#else
  StandardVolume("2024");
  AbUnits(0, 50000, "2024");
  std::string program = Install();
  // Ever more memory, until the run has enough: every run with too little ends as aborted (252)
  // with what stopped it, never as done and never killed by an exception nothing caught.
  bool failed = false;
  for (int kb = 60000; kb <= 400000; kb += 2500) {
    SCOPED_TRACE(std::to_string(kb) + " KiB");
    std::filesystem::remove_all(C("INST"));
    const int rc = RunProgram(program, kArgs, -1, "", kb);
    if (rc == 127) continue;  // too little to load the program's libraries
    if (rc == 0) break;
    EXPECT_EQ(rc, 252) << Output();
    EXPECT_NE(Output().find("The install stopped on an error: std::bad_alloc"), std::string::npos) << Output();
    EXPECT_TRUE(Registry().empty());
    failed = true;
    // With memory enough, the rerun installs what is missing and records each workunit once.
    EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
    EXPECT_EQ(UnitCodes().size(), 50000u);
    EXPECT_TRUE(IndexMatches());
    EXPECT_EQ(Registry().size(), 1u);
  }
  EXPECT_TRUE(failed);
#endif
}

// A library that ends the program with exit(0) or exit(3) at each workunit in turn: of a first
// installation, of an update (the run has closed and checked the list once before it records)
// and of a multi-install update. Every run ends 252 with its datagram, whatever the exit handler
// reaches is still there when it runs, and the rerun with the library mended installs the rest
// and registers the volume. The allocator overwrites what is freed at once (no thread cache,
// freed bytes perturbed; the sanitizers' allocator does as much): an object the handler reaches
// that was destroyed before it ran shows in every run that uses it.
TEST_F(Process, LibraryThatCallsExitAtAnyWorkunitEndsWith252AndTheRerunCompletes) {
  const std::string program = Install();
  const int fd = NotifySocket(9);
  ASSERT_GE(fd, 0);
  const auto units = [](int from, int to, const std::string& date, const std::string& volume) {
    return AbRows(from, to, date, volume, "ExitAt32");
  };
  struct Scenario {
    const char* name;
    const char* multi;
    int installed;  // workunits installed from VOL1 of 2024 before (0: a first installation)
    int offered;    // workunits of the volume of 2025
    const char* volume;
  };
  const Scenario scenarios[] = {{"first installation", "N", 0, 4, "VOL1"},
                                {"update", "N", 3, 5, "VOL1"},
                                {"multi-install update", "Y", 3, 5, "VOL2"}};
  for (const Scenario& s : scenarios) {
    std::filesystem::remove_all(C("INST"));
    StandardVolume("2024");
    Modules({{"AB", "AB*", "1", "AB", s.multi}});
    if (s.installed > 0) {
      Work(units(0, s.installed, "2024", "VOL1"));
      ASSERT_EQ(RunProgram(program, kArgs), 0) << Output();
    }
    VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
    Work(units(0, s.offered, "2025", s.volume));
    std::filesystem::remove_all(root_ / "saved");
    std::filesystem::create_directories(C("INST"));
    std::filesystem::copy(C("INST"), root_ / "saved", std::filesystem::copy_options::recursive);
    for (int unit = 0; unit < s.offered; ++unit)
      for (const char* status : {"0", "3"}) {
        char code[16];
        std::snprintf(code, sizeof code, "AB%06d", unit);
        SCOPED_TRACE(std::string(s.name) + ", exit(" + status + ") at " + code);
        std::filesystem::remove_all(C("INST"));
        std::filesystem::copy(root_ / "saved", C("INST"), std::filesystem::copy_options::recursive);
        setenv("QUILLET_TEST_EXIT_UNIT", code, 1);
        setenv("QUILLET_TEST_EXIT_STATUS", status, 1);
        setenv("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0:glibc.malloc.perturb=165", 1);
        EXPECT_EQ(RunProgram(program, kArgs + std::string(" /H9")), 252) << Output();
        unsetenv("GLIBC_TUNABLES");
        unsetenv("QUILLET_TEST_EXIT_UNIT");
        uint8_t d[16] = {};
        EXPECT_EQ(::recv(fd, d, sizeof d, MSG_DONTWAIT), 12);
        EXPECT_EQ(d[4], 0xFC);  // -4
        EXPECT_NE(Output().find("the install did not finish"), std::string::npos) << Output();
        EXPECT_EQ(Registry().size(), s.installed > 0 ? 1u : 0u);
        EXPECT_EQ(RunProgram(program, kArgs), 0) << Output();
        EXPECT_EQ(UnitCodes().size(), size_t(s.offered));
        EXPECT_TRUE(IndexMatches());
        ASSERT_EQ(Registry().size(), 1u);
        EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
      }
  }
  ::close(fd);
  unsetenv("QUILLET_NOTIFY_DIR");
  unsetenv("QUILLET_TEST_EXIT_STATUS");
}

// What a run that ends 0 reports installed is on the disk before its datagram: the trap library
// writes down, in order, every write, flush, rename, removal and folder made, and the datagram.
// Every file written is flushed after its last write, every folder in which a name was made,
// renamed or removed is flushed after that, both before the datagram, and the workunit list is
// flushed before the registry takes its new record. Over a first installation, an update that
// appends and changes records, a multi-install update, one that cleans up lower-case records
// (packing the list and removing its index) and one that gives the registry a wider structure.
TEST_F(Process, WhatARunReportsInstalledIsOnTheDiskBeforeItsDatagram) {
  std::string program = Install();
  const int fd = NotifySocket(11);
  ASSERT_GE(fd, 0);
  const std::string log = (root_ / "calls.txt").string();
  const auto units = [](int from, int to, const std::string& date, const std::string& volume) {
    return AbRows(from, to, date, volume, "Copy32");
  };
  auto wider = VolumeFields();
  wider[1].len = 60;
  wider.push_back({"EXTRA", 'C', 10, 0});
  struct Scenario {
    const char* name;
    std::function<void()> setUp;
  };
  const Scenario scenarios[] = {
      {"first installation", [&] { AbUnits(0, 5, "2024"); }},
      {"update",
       [&] {
         AbUnits(0, 5, "2024");
         ASSERT_EQ(RunProgram(program, kArgs), 0) << Output();
         VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
         AbUnits(3, 9, "2025");
       }},
      {"multi-install update",
       [&] {
         Modules({{"AB", "AB*", "1", "AB", "Y"}});
         Work(units(0, 4, "2024", "VOL1"));
         ASSERT_EQ(RunProgram(program, kArgs), 0) << Output();
         VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
         Work(units(2, 6, "2025", "VOL2"));
       }},
      {"lower-case clean-up",
       [&] {
         std::filesystem::remove_all(root_ / "prog");  // installed again there
         LowerCaseInstallation(program);
       }},
      {"wider registry",
       [&] {
         AbUnits(0, 3, "2024");
         ASSERT_EQ(RunProgram(program, kArgs), 0) << Output();
         AbUnits(0, 4, "2025");
         MakeTable(E("REL/volume.dbf"), wider, {{"VOL1", "Service volume 2", "2025", "", "", "X"}},
                   {{"BYID", "LOGICALID", "", 0, 0}});
       }},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    std::filesystem::remove_all(C("INST"));
    StandardVolume("2024");
    ASSERT_NO_FATAL_FAILURE(s.setUp());
    std::filesystem::remove(log);
    ASSERT_EQ(RunProgram(program, kArgs + std::string(" /H11"), -1, "TRAP_LOG=" + log), 0) << Output();
    uint8_t d[16];
    ASSERT_EQ(::recv(fd, d, sizeof d, MSG_DONTWAIT), 12);
    EXPECT_EQ(d[4], 0);

    // The calls, their paths as the file system names them.
    std::vector<std::pair<std::string, std::string>> calls;
    std::istringstream in(Read(log));
    for (std::string line; std::getline(in, line);) {
      const size_t blank = line.find(' ');
      std::string path = line.substr(blank + 1);
      if (!path.empty() && path[0] == '/' && path.find(" (deleted)") == std::string::npos)
        path = std::filesystem::weakly_canonical(path).string();
      calls.emplace_back(line.substr(0, blank), path);
    }
    const std::string c = std::filesystem::weakly_canonical(C()).string() + "/";
    const std::string inst = c + "INST/";
    size_t datagram = calls.size();
    for (size_t i = 0; i < calls.size(); ++i)
      if (calls[i].first == "sendto") datagram = i;
    ASSERT_LT(datagram, calls.size());
    const auto flushedBetween = [&](const std::string& path, size_t after) {
      for (size_t j = after + 1; j < datagram; ++j)
        if (calls[j].first == "fsync" && calls[j].second == path) return true;
      return false;
    };
    size_t listFlushed = 0, registryRenamed = 0;
    for (size_t i = 0; i < datagram; ++i) {
      const auto& [call, path] = calls[i];
      if ((call == "pwrite" || call == "write") && path.rfind(inst, 0) == 0) {
        bool last = true;
        for (size_t j = i + 1; j < datagram; ++j) last = last && !(calls[j].first.find("write") != std::string::npos && calls[j].second == path);
        if (last) {
          EXPECT_TRUE(flushedBetween(path, i)) << call << " " << path;
        }
      }
      if ((call == "mkdir" || call == "rename" || call == "unlink") && path.rfind(c, 0) == 0) {
        EXPECT_TRUE(flushedBetween(std::filesystem::path(path).parent_path().string(), i)) << call << " " << path;
      }
      if (call == "fsync" && path == inst + "data/AB/EN/relwork.DBF") listFlushed = i;
      if (call == "rename" && path == inst + "data/AB/EN/volume.dbf") registryRenamed = i;
    }
    EXPECT_GT(listFlushed, 0u);
    EXPECT_LT(listFlushed, registryRenamed);
    EXPECT_EQ(Registry()[0]["PRODDATE"], s.name == std::string("first installation") ? "2024" : "2025");
  }
  ::close(fd);
  unsetenv("QUILLET_NOTIFY_DIR");
}
