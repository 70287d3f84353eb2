// Quillet as a program of its own, where files are replaced: two installers at once while one of
// them packs or makes the installed list, every system call of the file replacement failing (or
// the program ended there), and leftover files of the names earlier versions used for their
// temporary copies.
#include "RunSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <set>

using namespace insttest;

namespace {

const char* const kArgs = "/DE '/BC:\\INST' /PAB";

class Replace : public Volume {
 protected:
  // Copies Quillet and the test libraries into a program folder of its own.
  void SetUp() override {
    Volume::SetUp();
    program_ = InstallProgram();
  }

  // The shell command that runs the program headless with `env` before it (a trap, another drive
  // map: see SyscallTrap.c); its output goes to out<tag>.txt, its status to status<tag>.txt.
  std::string Command(const std::string& env, const std::string& tag) {
    std::string trap;
    if (env.find("TRAP_") != std::string::npos)
      trap = "LD_PRELOAD='" + ProgramFolder() + "SyscallTrap.so' ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" ";
    const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY " + trap + env + " '" + program_ + "' " + kArgs;
    return "cd '" + C() + "' && { (" + run + "); echo $? > '" + (root_ / ("status" + tag + ".txt")).string() +
           "'; } 2>&1 | cat > '" + (root_ / ("out" + tag + ".txt")).string() + "'";
  }
  int Status(const std::string& tag) {
    std::string code = Read((root_ / ("status" + tag + ".txt")).string());
    return code.empty() ? -1000 : std::atoi(code.c_str());
  }
  std::string Output(const std::string& tag = "") { return Read((root_ / ("out" + tag + ".txt")).string()); }
  int RunProgram(const std::string& env = "") {
    std::system(Command(env, "").c_str());
    return Status("");
  }

  // Workunits AB000<from> to AB000<to - 1> of a volume dated `date`, of a module of their own.
  void AbVolume(int from, int to, const std::string& date) {
    AbUnits(from, to, date);
    VolumeRecord({"VOL1", "Service volume " + date, date, "", ""});
  }
  // AB000000 to AB000019 installed, records 1 to 5 then put in lower case (as an older installer
  // left them; table and index agree): the next run's clean-up packs the list.
  void LowerCaseInstallation() {
    StandardVolume("2024");
    AbVolume(0, 20, "2024");
    ASSERT_EQ(RunProgram(), 0) << Output();
    auto t = tables::OpenTable(List(), false);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->openIndex(FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"))), 0);
    const int unit = t->fieldIndex("UNITCODE");
    for (int r = 1; r <= 5; ++r) {
      t->go(r);
      t->assignText(unit, "ab" + t->fieldText(unit).substr(2));
    }
    ASSERT_EQ(t->close(), 0);
  }
  std::string Folder() { return C("INST/data/AB/EN"); }
  std::string List() { return FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")); }
  // The installation's unit codes, each once (a code recorded twice fails the test).
  std::set<std::string> UnitCodes() {
    std::set<std::string> codes;
    for (auto& r : Installed()) EXPECT_TRUE(codes.insert(r["UNITCODE"]).second) << r["UNITCODE"] << " twice";
    return codes;
  }
  // Whether every tag of the installation's index holds exactly the keys of its records.
  bool IndexMatches() {
    auto t = tables::OpenTable(List(), true);
    std::string cdx = FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"));
    return t && !cdx.empty() && t->openIndex(cdx) == 0 && t->index()->matchesRecords();
  }
  // Every record of the list as text, deleted ones too (without their deletion mark).
  std::vector<std::string> AllRecords() {
    std::vector<std::string> out;
    auto t = tables::OpenTable(List(), true);
    for (int r = 1; t && r <= t->recCount(); ++r) {
      t->go(r);
      std::string rec;
      for (int i = 0; i < t->fieldCount(); ++i) rec += t->fieldText(i);
      out.push_back(rec);
    }
    return out;
  }
  // Files of the installation's folder that a replacement made and did not put in place.
  std::vector<std::string> NewFilesLeft() {
    std::vector<std::string> left;
    for (auto& e : std::filesystem::directory_iterator(Folder()))
      if (e.path().filename().string().rfind(".~", 0) == 0) left.push_back(e.path().filename().string());
    return left;
  }
  // Files under the installation (every folder) that a replacement made and did not put in place.
  std::vector<std::string> NewFilesLeftInInstallation() {
    std::vector<std::string> left;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(C("INST"), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->path().filename().string().rfind(".~", 0) == 0) left.push_back(it->path().string());
    return left;
  }
  void SaveInstallation() {
    std::filesystem::remove_all(root_ / "saved");
    std::filesystem::copy(C("INST"), root_ / "saved", std::filesystem::copy_options::recursive);
  }
  void RestoreInstallation() {
    std::filesystem::remove_all(C("INST"));
    std::filesystem::copy(root_ / "saved", C("INST"), std::filesystem::copy_options::recursive);
  }

  // Runs B (the program with `env`, output tag "B") held back at the first call its trap names
  // until `meanwhile` has run; returns B's status.
  int HeldWhile(const std::string& env, const std::function<void()>& meanwhile) {
    int held[2], release[2];
    if (::pipe(held) != 0 || ::pipe(release) != 0) return -1000;
    const std::string command = Command(env + " TRAP_NTH=1 TRAP_ACTION=hold TRAP_HOLD_FDS=" + std::to_string(held[1]) +
                                            "," + std::to_string(release[0]),
                                        "B");
    pid_t b = ::fork();
    if (b == 0) {
      ::close(held[0]);
      ::close(release[1]);
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(held[1]);
    ::close(release[0]);
    ::fcntl(held[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(release[1], F_SETFD, FD_CLOEXEC);
    // B stands at the call (its end of the pipe closes if it never gets there).
    pollfd p{held[0], POLLIN, 0};
    char c = 0;
    const bool bHeld = b > 0 && ::poll(&p, 1, 60000) == 1 && ::read(held[0], &c, 1) == 1;
    EXPECT_TRUE(bHeld) << Output("B");
    if (bHeld) meanwhile();
    ::close(release[1]);
    ::close(held[0]);
    int wstatus = 0;
    if (b > 0) ::waitpid(b, &wstatus, 0);
    return Status("B");
  }

  std::string program_;
};

}  // namespace

// B opens the installed list and is held back before it takes the lock; A cleans the list up
// (packing it into a new file) and records its volume; then B takes its lock. B locks the file the
// path names now, not the one A replaced, so A's workunits stay and B's join them.
TEST_F(Replace, TwoInstallersAtOnceWhileOnePacksLoseNoWorkunit) {
  ASSERT_NO_FATAL_FAILURE(LowerCaseInstallation());
  // B's volume (AB000030 to AB000034, 2026) on a drive of its own; A's (AB000020 to AB000024,
  // 2025) on drive E.
  AbVolume(30, 35, "2026");
  std::filesystem::copy(E(), root_ / "e2", std::filesystem::copy_options::recursive);
  AbVolume(20, 25, "2025");

  const std::string driveB = "QUILLET_DRIVES='C=" + C() + ";E=" + (root_ / "e2").string() + "' ";
  EXPECT_EQ(HeldWhile(driveB + "TRAP_CALL=flock TRAP_FILE=/relwork.DBF", [&] {
              EXPECT_EQ(RunProgram(), 0) << Output();  // A
            }),
            0)
      << Output("B");

  std::set<std::string> codes = UnitCodes();
  EXPECT_EQ(codes.size(), 25u);  // AB000005 to AB000024, AB000030 to AB000034
  EXPECT_EQ(codes.count("AB000020"), 1u);
  EXPECT_EQ(codes.count("AB000034"), 1u);
  EXPECT_EQ(*codes.begin(), "AB000005");
  EXPECT_TRUE(IndexMatches());
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2026");
  // A's volume again finds the installation past it: nothing is installed twice.
  EXPECT_EQ(RunProgram(), 0) << Output();
  EXPECT_NE(Output().find("Install successfully completed"), std::string::npos);
  EXPECT_EQ(UnitCodes().size(), 25u);
}

// The same while both make the list of a first installation: B has found no list and is held
// back as it makes one (before its new file is made, or once it is made, when A removes it as a
// leftover); A makes it and records its volume. B's list does not take the place of A's: B ends
// as a failure (251), and its rerun installs its volume beside A's.
TEST_F(Replace, TwoInstallersMakingTheListAtOnceLoseNoWorkunit) {
  StandardVolume("2025");
  AbVolume(10, 13, "2025");
  std::filesystem::copy(E(), root_ / "e2", std::filesystem::copy_options::recursive);
  AbVolume(0, 3, "2024");
  const std::string driveB = "QUILLET_DRIVES='C=" + C() + ";E=" + (root_ / "e2").string() + "' ";
  for (const char* heldAt : {"TRAP_CALL=open TRAP_FILE=.relwork.DBF", "TRAP_CALL=flock TRAP_FILE=.relwork.DBF"}) {
    SCOPED_TRACE(heldAt);
    std::filesystem::remove_all(C("INST"));
    EXPECT_EQ(HeldWhile(driveB + heldAt, [&] {
                EXPECT_EQ(RunProgram(), 0) << Output();  // A
              }),
              251)
        << Output("B");
    EXPECT_EQ(UnitCodes().size(), 3u);
    EXPECT_EQ(Registry()[0]["PRODDATE"], "2024");
    std::system(Command(driveB, "B2").c_str());  // B again
    EXPECT_EQ(Status("B2"), 0) << Output("B2");
    std::set<std::string> codes = UnitCodes();
    EXPECT_EQ(codes.size(), 6u);
    EXPECT_EQ(codes.count("AB000000"), 1u);
    EXPECT_EQ(codes.count("AB000012"), 1u);
    EXPECT_TRUE(IndexMatches());
    EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
    EXPECT_TRUE(NewFilesLeftInInstallation().empty());
  }
}

// Every system call of the replacement of the list (by the clean-up's pack) and of its index
// failing: the run ends as a failure (251), the list as it was while the rename had not been
// made, no new file left behind, and the rerun installs every workunit once. Ended (killed) at
// that call instead, the rerun does the same and removes the new file the run left.
TEST_F(Replace, EverySystemCallOfAReplacementThatFailsEndsTheRunAsAFailure) {
  ASSERT_NO_FATAL_FAILURE(LowerCaseInstallation());
  AbVolume(20, 25, "2025");
  SaveInstallation();
  const std::vector<std::string> records = AllRecords();
  ASSERT_EQ(records.size(), 20u);
  struct Step {
    const char* trap;
    bool listUnchanged;  // the failure came before the list's rename: its records are all there
  };
  const Step steps[] = {
      {"TRAP_CALL=open TRAP_FILE=.relwork.DBF", true},          // the new file is made
      {"TRAP_CALL=pwrite TRAP_FILE=.relwork.DBF", true},        // written
      {"TRAP_CALL=fsync TRAP_FILE=.relwork.DBF", true},         // flushed
      {"TRAP_CALL=rename TRAP_FILE=/relwork.DBF", true},        // put in place
      {"TRAP_CALL=fsync TRAP_FILE=/data/AB/EN TRAP_NTH=1", false},  // the folder flushed
      {"TRAP_CALL=open TRAP_FILE=.RELWORK.CDX", false},         // the same for the index
      {"TRAP_CALL=pwrite TRAP_FILE=.RELWORK.CDX", false},
      {"TRAP_CALL=fsync TRAP_FILE=.RELWORK.CDX", false},
      {"TRAP_CALL=rename TRAP_FILE=/RELWORK.CDX", false},
      {"TRAP_CALL=fsync TRAP_FILE=/data/AB/EN TRAP_NTH=2", false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.trap);
    RestoreInstallation();
    std::string at = step.trap;
    if (at.find("TRAP_NTH") == std::string::npos) at += " TRAP_NTH=1";
    EXPECT_EQ(RunProgram(at + " TRAP_ACTION=fail"), 251) << Output();
    if (step.listUnchanged) {
      EXPECT_EQ(AllRecords(), records);
    }
    EXPECT_TRUE(NewFilesLeft().empty());
    EXPECT_EQ(Registry()[0]["PRODDATE"], "2024");  // a run that failed registers nothing
    EXPECT_EQ(RunProgram(), 0) << Output();
    std::set<std::string> codes = UnitCodes();
    EXPECT_EQ(codes.size(), 20u);  // AB000005 to AB000024
    EXPECT_EQ(*codes.begin(), "AB000005");
    EXPECT_TRUE(IndexMatches());
    // Ended at that call instead: the rerun finds every workunit and removes the new file left.
    RestoreInstallation();
    EXPECT_EQ(RunProgram(at), 137) << Output();
    EXPECT_EQ(RunProgram(), 0) << Output();
    EXPECT_EQ(UnitCodes().size(), 20u);
    EXPECT_TRUE(IndexMatches());
    EXPECT_TRUE(NewFilesLeft().empty());
  }
}

// Files of the fixed names that earlier versions wrote their copies under, of every kind (a link
// to a file elsewhere, a folder, a read-only file), are neither followed nor in the way.
TEST_F(Replace, LeftoversOfTheOldTemporaryNamesAreNotFollowedAndDoNotBlockTheRun) {
  ASSERT_NO_FATAL_FAILURE(LowerCaseInstallation());
  AbVolume(20, 25, "2025");
  SaveInstallation();
  const std::string victim = (root_ / "victim.txt").string();
  for (const char* name : {"relwork.DBF.pack", "RELWORK.CDX.tmp"}) {
    for (const char* kind : {"link", "folder", "read-only"}) {
      SCOPED_TRACE(std::string(name) + " as a " + kind);
      RestoreInstallation();
      Write(victim, "not a table");
      const std::filesystem::path left = std::filesystem::path(Folder()) / name;
      if (std::strcmp(kind, "link") == 0) {
        std::filesystem::create_symlink(victim, left);
      } else if (std::strcmp(kind, "folder") == 0) {
        std::filesystem::create_directories(left / "inside");
      } else {
        Write(left.string(), "left");
        std::filesystem::permissions(left, std::filesystem::perms::owner_read);
      }
      EXPECT_EQ(RunProgram(), 0) << Output();
      EXPECT_EQ(Read(victim), "not a table");
      EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(List())));
      std::set<std::string> codes = UnitCodes();
      EXPECT_EQ(codes.size(), 20u);  // the lower-case records are gone, AB000020 to AB000024 added
      EXPECT_EQ(*codes.begin(), "AB000005");
      EXPECT_TRUE(IndexMatches());
      EXPECT_TRUE(NewFilesLeft().empty());
      std::error_code ec;
      std::filesystem::permissions(left, std::filesystem::perms::owner_all, ec);
    }
  }
}

// The other files a run replaces or makes whole, on a first installation: the list made, its
// index made and written, the registry copied from the volume. Each system call of each failing
// ends the run with 251 (and every flush of the folder in turn); the rerun installs it all.
TEST_F(Replace, EveryReplacementOfAFirstInstallationThatFailsEndsTheRunAsAFailure) {
  StandardVolume("2024");
  AbVolume(0, 3, "2024");
  std::vector<std::string> traps;
  for (const char* file : {".relwork.DBF", ".RELWORK.CDX", ".volume.dbf"})
    for (const char* call : {"open", "pwrite", "fsync"}) traps.push_back(std::string("TRAP_CALL=") + call + " TRAP_FILE=" + file);
  for (const char* file : {"/relwork.DBF", "/RELWORK.CDX", "/volume.dbf"}) traps.push_back(std::string("TRAP_CALL=rename TRAP_FILE=") + file);
  for (const std::string& trap : traps) {
    SCOPED_TRACE(trap);
    std::filesystem::remove_all(C("INST"));
    EXPECT_EQ(RunProgram(trap + " TRAP_NTH=1 TRAP_ACTION=fail"), 251) << Output();
    EXPECT_TRUE(Registry().empty());
    EXPECT_TRUE(NewFilesLeft().empty());
    EXPECT_EQ(RunProgram(), 0) << Output();
    EXPECT_EQ(UnitCodes().size(), 3u);
    EXPECT_TRUE(IndexMatches());
    EXPECT_EQ(Registry().size(), 1u);
  }
  int status = 251;
  int n = 1;
  for (; status == 251 && n < 20; ++n) {
    SCOPED_TRACE("the folder's flush " + std::to_string(n));
    std::filesystem::remove_all(C("INST"));
    status = RunProgram("TRAP_CALL=fsync TRAP_FILE=/data/AB/EN TRAP_ACTION=fail TRAP_NTH=" + std::to_string(n));
    if (status != 251) break;
    EXPECT_TRUE(NewFilesLeft().empty());
    EXPECT_EQ(RunProgram(), 0) << Output();
    EXPECT_EQ(UnitCodes().size(), 3u);
    EXPECT_TRUE(IndexMatches());
    EXPECT_EQ(Registry().size(), 1u);
  }
  EXPECT_EQ(status, 0) << Output();  // the last flush tried came after the run's last replacement
  EXPECT_GT(n, 4);                   // the list, its index (made, then written) and the registry
}

// A first installation ended (killed) at each system call it makes on any file in turn, making
// the list included: the one rerun installs everything once and leaves no new file of any
// replacement behind, in any folder of the installation.
TEST_F(Replace, AFirstInstallationEndedAtAnySystemCallLeavesNothingBehindItsRerun) {
  StandardVolume("2024");
  AbVolume(0, 3, "2024");
  const std::string calls = "TRAP_CALL=open,pwrite,write,fsync,rename,unlink,flock,close TRAP_FILE= TRAP_NTH=";
  int status = 137;
  int n = 1;
  for (; n < 1000; ++n) {
    SCOPED_TRACE("ended at call " + std::to_string(n));
    std::filesystem::remove_all(C("INST"));
    status = RunProgram(calls + std::to_string(n));
    if (status != 137) break;
    EXPECT_EQ(RunProgram(), 0) << Output();
    EXPECT_EQ(NewFilesLeftInInstallation(), std::vector<std::string>());
    EXPECT_EQ(UnitCodes().size(), 3u);
    EXPECT_TRUE(IndexMatches());
    EXPECT_EQ(Registry().size(), 1u);
  }
  EXPECT_EQ(status, 0) << Output();  // past the run's last call
  EXPECT_GT(n, 20);
}

// A second installer that finds the installed registry held by the first (here while the first
// compares its volume with it) ends as a failure (251) saying so, not with the list's text; the
// first goes on, and the second's rerun installs its volume.
TEST_F(Replace, ASecondInstallerThatFindsTheRegistryLockedSaysSo) {
  StandardVolume("2024");
  AbVolume(0, 3, "2024");
  ASSERT_EQ(RunProgram(), 0) << Output();
  AbVolume(3, 6, "2025");
  EXPECT_EQ(HeldWhile("TRAP_CALL=close TRAP_FILE=EN/volume.dbf", [&] {
              EXPECT_EQ(RunProgram(), 251) << Output();  // the second installer
              EXPECT_NE(Output().find("registry C:\\INST\\data\\AB\\EN\\volume.dbf is in use by another program"),
                        std::string::npos)
                  << Output();
              EXPECT_EQ(Output().find("Destination workunit table"), std::string::npos) << Output();
            }),
            0)
      << Output("B");
  EXPECT_EQ(UnitCodes().size(), 6u);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
  EXPECT_EQ(RunProgram(), 0) << Output();
}

// Each system call of the volume's registration failing in turn, once (the opens and the lock,
// every write of the new registry, its flush to the disk, its close, its rename and the flush of
// its folder, and of the volume's index taken over with a wider structure; ENOSPC, EIO and EROFS
// in turn): on a first installation, over an older volume, and with a registry that takes the
// volume's wider structure and index. Each run that fails ends 251 naming the registry, which is
// byte for byte as it was with nothing left beside it, and the rerun calls the merge library again
// and registers the volume. A failing call that loses nothing (a read-only table's open or close)
// may end 0, the volume then registered.
TEST_F(Replace, EveryFailingCallOfTheRegistrationLeavesTheRegistryAsItWas) {
  const std::string registry = C("INST/data/AB/EN/volume.dbf");
  auto wider = VolumeFields();
  wider[1].len = 60;
  wider.push_back({"EXTRA", 'C', 10, 0});
  struct Scenario {
    const char* name;
    std::function<void()> setUp;
    bool index;  // the volume's registry has an index that comes along
  };
  const Scenario scenarios[] = {
      {"first installation", [&] { AbVolume(0, 3, "2025"); }, false},
      {"older volume registered",
       [&] {
         AbVolume(0, 3, "2024");
         ASSERT_EQ(RunProgram(), 0) << Output();
         AbVolume(0, 4, "2025");
       },
       false},
      {"wider registry with its index",
       [&] {
         AbVolume(0, 3, "2024");
         ASSERT_EQ(RunProgram(), 0) << Output();
         AbUnits(0, 4, "2025");
         MakeTable(E("REL/volume.dbf"), wider, {{"VOL1", "Service volume 2025", "2025", "", "", "X"}},
                   {{"BYID", "LOGICALID", "", 0, 0}});
       },
       true},
  };
  const char* const errnos[] = {"ENOSPC", "EIO", "EROFS"};
  int scenario = 0;
  for (const Scenario& s : scenarios) {
    std::filesystem::remove_all(C("INST"));
    StandardVolume("2024");
    ASSERT_NO_FATAL_FAILURE(s.setUp());
    std::filesystem::create_directories(C("INST"));
    SaveInstallation();
    const bool existed = std::filesystem::exists(registry);
    const std::string before = existed ? Read(registry) : "";
    std::vector<std::pair<std::string, std::string>> calls = {
        {"open", "volume.dbf"},  {"flock", "volume.dbf"}, {"pwrite", "volume.dbf"}, {"fsync", "volume.dbf"},
        {"close", "volume.dbf"}, {"rename", "volume.dbf"}, {"fsync", "/data/AB/EN"}};
    if (s.index)
      for (const char* call : {"open", "pwrite", "fsync", "close", "rename"}) calls.push_back({call, "VOLUME.CDX"});
    int call = 0;
    for (const auto& [name, file] : calls) {
      bool fired = true;
      for (int n = 1; fired && n < 20; ++n) {
        const std::string trap = "TRAP_ARMED=1 TRAP_ACTION=fail TRAP_CALL=" + name + " TRAP_FILE=" + file +
                                 " TRAP_NTH=" + std::to_string(n) + " TRAP_ERRNO=" + errnos[(n + call + scenario) % 3];
        SCOPED_TRACE(std::string(s.name) + ": " + trap);
        RestoreInstallation();
        const int status = RunProgram(trap);
        const std::string out = Output();
        const size_t told = out.find("SyscallTrap: failed ");
        fired = told != std::string::npos;
        if (status == 251) {
          EXPECT_TRUE(fired) << out;
          EXPECT_NE(out.find("The installed volume registry " + std::string("C:\\INST\\data\\AB\\EN\\volume.dbf") +
                             " could not be written"),
                    std::string::npos)
              << out;
          EXPECT_EQ(std::filesystem::exists(registry), existed);
          if (existed) {
            EXPECT_EQ(Read(registry), before);
          }
          EXPECT_TRUE(NewFilesLeft().empty());
          Calls();
          EXPECT_EQ(RunProgram(), 0) << Output();
          const auto made = Calls();
          EXPECT_TRUE(std::any_of(made.begin(), made.end(), [](const std::string& c) { return c.rfind("Merge32|", 0) == 0; }));
        } else {
          EXPECT_EQ(status, 0) << out;
          if (fired) {
            // Only a call that could lose nothing: a read-only table's open or close.
            const std::string what = out.substr(told, out.find('\n', told) - told);
            EXPECT_TRUE(name == "open" || name == "close") << what;
            EXPECT_EQ(what.find("/.~"), std::string::npos) << what;
          }
        }
        ASSERT_FALSE(Registry().empty());
        EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
        EXPECT_EQ(UnitCodes().size(), s.index || scenario == 1 ? 4u : 3u);
      }
      EXPECT_FALSE(fired) << "more calls than the sweep tried";
      ++call;
    }
    ++scenario;
  }
}
