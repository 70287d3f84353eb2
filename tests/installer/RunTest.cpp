// The install run end to end, headless, in this process: volumes written through the table layer,
// test install libraries from dll32/ recording their calls, FormsScript answering questions and
// pressing Cancel; then the comparison and recording of workunits on their own.
#include "RunSupport.h"

#include "Db1.h"
#include "Helpers.h"
#include "InstallDll.h"
#include "InstallRun.h"
#include "InstallerDlg.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <set>

using namespace insttest;

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : line) {
    if (c == '|') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}


class InstallRun : public Volume {};

const char* kCmd = "/DE /BC:\\INST\\ /PAB";

}  // namespace

TEST_F(InstallRun, FirstInstallCallsTheLibrariesRecordsTheWorkunitsAndRegistersTheVolume) {
  StandardVolume("XX2024010112000000");  // 18 characters: stored without the first 2
  Work({{"DOC12345", "V1", "GB", "EN", "XX2024010112000000", "VOL1", "  12x", "Copy32"},
        {"DNODLL", "V1", "GB", "EN", "2024010112000000", "VOL1", "3", ""},
        {"XNONE", "V1", "GB", "EN", "2024010112000000", "VOL1", "4", "Copy32"},
        {"Pq1", "V2", "FR", "FR", "2024010112000000", "VOL1", "-5", "copy32"}});
  EXPECT_EQ(Run(kCmd), 0);

  auto calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  // Options and workunit texts arrive lower case; absent options as null slots.
  EXPECT_EQ(calls[0], "Copy32|call|12|ab|c:\\inst|(null)|(null)|e|doc12345|\\docs\\doc\\en\\|v1|gb|en|en|0|0");
  EXPECT_EQ(calls[1], "Copy32|call|-5|ab|c:\\inst|(null)|(null)|e|pq1|\\pics\\v2\\|v2|fr|fr|en|0|0");
  // The merge call: no unit code, the volume folder as tree path, code 0.
  EXPECT_EQ(calls[2], "Merge32|call|0|ab|c:\\inst|(null)|(null)|e||e:\\rel\\||||en|0|0");

  auto installed = Installed();
  ASSERT_EQ(installed.size(), 3u);
  std::map<std::string, std::map<std::string, std::string>> byCode;
  for (auto& r : installed) byCode[r["UNITCODE"]] = r;
  ASSERT_TRUE(byCode.count("DOC12345"));  // upper case after the library's call
  ASSERT_TRUE(byCode.count("PQ1"));
  ASSERT_TRUE(byCode.count("DNODLL"));  // written without any call
  EXPECT_EQ(byCode["DOC12345"]["PRODDATE"], "2024010112000000");
  EXPECT_EQ(ReadInstCode(byCode["DOC12345"]["INSTCODE"]), 12);
  EXPECT_EQ(ReadInstCode(byCode["PQ1"]["INSTCODE"]), -5);
  EXPECT_EQ(byCode["PQ1"]["MARKET"], "FR");
  EXPECT_EQ(byCode["DOC12345"]["VOLUME"], "VOL1");

  auto registry = Registry();
  ASSERT_EQ(registry.size(), 1u);
  EXPECT_EQ(registry[0]["LOGICALID"], "VOL1");
  EXPECT_EQ(registry[0]["LABEL"], "DISK01");  // the drive's label DISK.01 without its dot
  EXPECT_EQ(registry[0]["PRODDATE"], "2024010112000000");
  EXPECT_EQ(registry[0]["LANRES"], "R1");

  EXPECT_TRUE(StatusHas("Starting Install...\n"));
  EXPECT_TRUE(StatusHas("[DOC12345] workunit will be added...\n"));
  EXPECT_TRUE(StatusHas("[XNONE] No module association could be found this workunit\n"));
  EXPECT_TRUE(StatusHas("Copy32: doc12345\n"));  // the library's status text
  EXPECT_TRUE(StatusHas("[Service volume 1] Merging entry point data from volume...\n"));
  EXPECT_TRUE(StatusHas("Install successfully completed\n"));

  // The same volume again: not newer, so nothing is looked at or called.
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(StatusHas("workunit"));
  EXPECT_EQ(Installed().size(), 3u);
}

TEST_F(InstallRun, NewerVolumeUpdatesNewerWorkunitsAndPassesOverCurrentOnes) {
  StandardVolume("2024010112000000");
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  ASSERT_EQ(Run(kCmd), 0);
  Calls();
  VolumeRecord({"VOL1", "Service volume 2", "2024060112000000", "LBL", "R2"});
  Work({{"DOC1", "V9", "GB", "EN", "2024060112000000", "VOL1", "1", "Copy32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"},
        {"DOC3", "V1", "GB", "EN", "2023010112000000", "VOL2", "1", "Copy32"}});
  ASSERT_EQ(Run(kCmd), 0);
  EXPECT_TRUE(StatusHas("[DOC1] workunit will be updated...\n"));
  EXPECT_TRUE(StatusHas("[DOC2] workunit is already up-to-date...\n"));
  EXPECT_TRUE(StatusHas("[DOC3] workunit will be added...\n"));
  EXPECT_EQ(Calls().size(), 3u);  // DOC1, DOC3 and the merge
  auto installed = Installed();
  ASSERT_EQ(installed.size(), 3u);
  for (auto& r : installed)
    if (r["UNITCODE"] == "DOC1") {
      EXPECT_EQ(r["VIEWTECH"], "V9");
    }
  auto registry = Registry();
  ASSERT_EQ(registry.size(), 1u);
  EXPECT_EQ(registry[0]["PRODDATE"], "2024060112000000");
  EXPECT_EQ(registry[0]["LABEL"], "LBL");
  EXPECT_EQ(registry[0]["HR_DESC"], "Service volume 2");
}

TEST_F(InstallRun, NoProductOptionInstallsNothing) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run("/DE /BC:\\INST"), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(StatusHas("Install successfully completed"));
  EXPECT_FALSE(std::filesystem::exists(C("INST")));
}

TEST_F(InstallRun, MissingOrDamagedProductsEndWithMinus2) {
  EXPECT_EQ(Run(kCmd), kInstallNoProducts);
  EXPECT_TRUE(StatusHas("Volume does not contain necessary product information\n"));
  EXPECT_EQ(ExitStatus(kInstallNoProducts), 254);
  std::filesystem::create_directories(E("quillet"));
  Write(E("quillet/products.dbf"), std::string(40, '\x03') + "garbage");
  EXPECT_EQ(Run(kCmd), kInstallNoProducts);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(InstallRun, MissingWorkunitListOrItsIndexEndsWithMinus3AndLeavesTheInstallationAlone) {
  StandardVolume("2024010112000000");
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  ASSERT_EQ(Run(kCmd), 0);
  Calls();
  VolumeRecord({"VOL1", "Service volume 2", "2025010112000000", "", ""});
  std::filesystem::remove(E("REL/RELWORK.CDX"));
  EXPECT_EQ(Run(kCmd), kInstallNoWorkunitList);
  EXPECT_TRUE(StatusHas("Component is missing workunit list\n"));
  std::filesystem::remove(E("REL/relwork.dbf"));
  EXPECT_EQ(Run(kCmd), kInstallNoWorkunitList);
  Write(E("REL/relwork.dbf"), std::string(600, '\xFF'));
  EXPECT_EQ(Run(kCmd), kInstallNoWorkunitList);
  EXPECT_TRUE(Calls().empty());  // no merge after a failure
  EXPECT_EQ(Installed().size(), 1u);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2024010112000000");
}

TEST_F(InstallRun, DestinationThatCannotBeCreatedEndsWithMinus5) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run("/DE /BZ:\\INST /PAB"), kInstallNoDestination);  // drive Z is mapped nowhere
  EXPECT_TRUE(StatusHas("Destination workunit table coule not be opened/created\n"));
  EXPECT_TRUE(Calls().empty());
}

TEST_F(InstallRun, FailingLibraryAbortsOutsideDebugMode) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Fail32"},
        {"DOC3", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run(kCmd), kInstallDllFailed);
  EXPECT_TRUE(StatusHas("Install Aborted.  Please wait while the installation is terminated...\n"));
  EXPECT_EQ(Calls().size(), 2u);  // DOC1, DOC2; no DOC3 and no merge
  auto installed = Installed();
  ASSERT_EQ(installed.size(), 1u);
  EXPECT_EQ(installed[0]["UNITCODE"], "DOC1");
  EXPECT_TRUE(Registry().empty());
}

TEST_F(InstallRun, MissingRefusedAndEntrylessLibrariesCountAsFailing) {
  for (std::string name : {"Nowhere", "NoEntry", "..\\Copy32", "dll32/Copy32", "C:Copy32"}) {
    StandardVolume();
    Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", name}});
    EXPECT_EQ(Run(kCmd), kInstallDllFailed) << name;
    EXPECT_TRUE(Calls().empty()) << name;
    EXPECT_TRUE(Installed().empty()) << name;
  }
}

TEST_F(InstallRun, DebugModeAsksAfterAFailureAndGoesOnOnYes) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Fail32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  std::string question;
  FormsScript::OnForm("CQuestionDlg", [&](TForm& f) {
    auto& q = static_cast<CQuestionDlg&>(f);
    question = q.Question();
    FormsScript::Click(*q.btnYes);
  });
  CloseWhenFinished([](TForm& f) {
    EXPECT_EQ(static_cast<CInstallerDlg&>(f).btnCancel->Caption(), "Close");  // the dialog stays open at the end
  });
  EXPECT_EQ(Run(kCmd + std::string(" debug")), 0);
  EXPECT_EQ(question, "[DOC1] could not be installed properly.  Do you want to continue?");
  EXPECT_TRUE(StatusHas("fixing lowercase workunits...\n"));
  auto calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(Split(calls[0]).back(), "1");  // the DEBUG flag in slot 12
  auto installed = Installed();
  ASSERT_EQ(installed.size(), 1u);
  EXPECT_EQ(installed[0]["UNITCODE"], "DOC2");
  EXPECT_EQ(Registry().size(), 1u);
}

TEST_F(InstallRun, DebugModeNoAbortsWithMinus4) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Fail32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  FormsScript::OnForm("CQuestionDlg", [](TForm& f) { FormsScript::Click(*static_cast<CQuestionDlg&>(f).btnNo); });
  CloseWhenFinished();
  EXPECT_EQ(Run(kCmd + std::string(" DEBUG")), kInstallDllFailed);
  EXPECT_EQ(Calls().size(), 1u);
  EXPECT_TRUE(Installed().empty());
}

TEST_F(InstallRun, CancelDuringTheRunStopsAtTheNextTest) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Cancel32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  std::string question;
  LetRunStart(1);  // the pump after the caption change; the next is Cancel32's
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) { FormsScript::Click(*static_cast<CInstallerDlg&>(f).btnCancel); });
  FormsScript::OnForm("CQuestionDlg", [&](TForm& f) {
    question = static_cast<CQuestionDlg&>(f).Question();
    FormsScript::Click(*static_cast<CQuestionDlg&>(f).btnYes);
  });
  EXPECT_EQ(Run(kCmd), kInstallCancelled);
  EXPECT_EQ(question, "Do you really want to cancel the installation?");
  auto calls = Calls();
  ASSERT_EQ(calls.size(), 2u);  // Cancel32's call and its note after serving the dialog; no DOC2, no merge
  EXPECT_EQ(Split(calls[1])[1], "after");
  EXPECT_EQ(Split(calls[1])[14], "1");  // the cancel word
  EXPECT_TRUE(Registry().empty());
  EXPECT_EQ(ExitStatus(kInstallCancelled), 255);
}

TEST_F(InstallRun, CancelAnsweredNoGoesOn) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Cancel32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  LetRunStart(1);
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) { FormsScript::Click(*static_cast<CInstallerDlg&>(f).btnCancel); });
  FormsScript::OnForm("CQuestionDlg", [](TForm& f) { FormsScript::Click(*static_cast<CQuestionDlg&>(f).btnNo); });
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Calls().size(), 4u);
  EXPECT_EQ(Installed().size(), 2u);
}

TEST_F(InstallRun, DebugCancelShowsAbortedAndWaitsForClose) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Cancel32"},
        {"DOC2", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  LetRunStart(1);
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) { FormsScript::Click(*static_cast<CInstallerDlg&>(f).btnCancel); });
  FormsScript::OnForm("CQuestionDlg", [](TForm& f) { FormsScript::Click(*static_cast<CQuestionDlg&>(f).btnYes); });
  bool enabled = false;
  CloseWhenFinished([&](TForm& f) {
    auto& d = static_cast<CInstallerDlg&>(f);
    enabled = d.btnCancel->Enabled();  // enabled again at the end of the run
    EXPECT_EQ(d.StatusText(), "Install Aborted.  Please wait while the installation is terminated...");
  });
  EXPECT_EQ(Run(kCmd + std::string(" DEBUG")), kInstallCancelled);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(Calls().size(), 2u);
}

TEST_F(InstallRun, PausedRunsNothingAndCancelEndsWithMinus1) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  FormsScript::OnForm("CInstallerDlg", [](TForm& f) {
    EXPECT_EQ(static_cast<CInstallerDlg&>(f).StatusText(), "Describe what's going on here...");
    FormsScript::PressEscape(f);
  });
  FormsScript::OnForm("CQuestionDlg", [](TForm& f) { FormsScript::Click(*static_cast<CQuestionDlg&>(f).btnYes); });
  EXPECT_EQ(Run(kCmd + std::string(" PAUSED")), kInstallCancelled);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(InstallRun, HostileLanguageIsSkipped) {
  Products({{"AB", "..\\..", "\\REL\\", "Bad", "Merge32"}, {"AB", "X/Y", "\\REL\\", "Bad", "Merge32"}});
  VolumeRecord({"VOL1", "V", "2024010112000000", "", ""});
  Modules({{"DOCS", "D*", "1", "DOCS", "N"}});
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_FALSE(std::filesystem::exists(C("INST/relwork.dbf")));
  EXPECT_FALSE(std::filesystem::exists(C("relwork.dbf")));
  EXPECT_FALSE(std::filesystem::exists(C("INST/data/AB/X")));
}

// ---- modules, tree paths, numbers ----

TEST(Modules, MasksMatchInTableOrder) {
  CModuleList list;
  EXPECT_EQ(list.FindModule("ABC"), nullptr);  // not loaded
}

class ModuleTable : public Volume {};

TEST_F(ModuleTable, FirstMatchingMaskWinsAndShortCodesDoNotMatch) {
  Modules({{"ONE", "AB*", "1", "T1", "y"}, {"TWO", "A*", "2", "T2", "N"}, {"THREE", "XY?Z", "3", "", ""},
           {"FOUR", "EXACT", "4", "", ""}, {"FIVE", "LONGMASK", "5", "", ""}});
  CModuleList list;
  list.Load("E:\\REL\\");
  ASSERT_TRUE(list.Loaded());
  ASSERT_EQ(list.Modules().size(), 5u);
  EXPECT_TRUE(list.Modules()[0]->MultiInstall);
  EXPECT_FALSE(list.Modules()[1]->MultiInstall);
  EXPECT_EQ(list.FindModule("ABX")->Name, "ONE");
  EXPECT_EQ(list.FindModule("AX")->Name, "TWO");
  EXPECT_EQ(list.FindModule("A"), list.Modules()[1].get());
  EXPECT_EQ(list.FindModule("XY123")->Name, "THREE");
  EXPECT_EQ(list.FindModule("EXACT.01")->Name, "FOUR");  // cut at the first "."
  EXPECT_EQ(list.FindModule("EXACTLY"), nullptr);
  EXPECT_EQ(list.FindModule("LONGMASKS")->Name, "FIVE");  // 8 characters compared
  EXPECT_EQ(list.FindModule("LONG"), nullptr);           // shorter than the compared part
  EXPECT_EQ(list.FindModule(""), nullptr);
  EXPECT_EQ(list.FindModule("ab1"), nullptr);  // case-sensitive
  // A table without MULTINST: every module single-install.
  MakeTable(E("R2/module.dbf"), ModuleFields(false), {{"M", "*", "1", ""}});
  CModuleList other;
  other.Load("E:\\R2");
  ASSERT_EQ(other.Modules().size(), 1u);
  EXPECT_FALSE(other.Modules()[0]->MultiInstall);
  EXPECT_EQ(other.FindModule("")->Name, "M");  // a mask "*" compares nothing
  CModuleList none;
  none.Load("E:\\NOWHERE\\");
  EXPECT_FALSE(none.Loaded());
}

TEST(TreePath, ExpandsTheTemplate) {
  EXPECT_EQ(ExpandTreePath("DOCS\\%1X3\\%L", "ABC12345", "V1", "GB", "EN", 7), "\\DOCS\\ABC\\EN\\");
  EXPECT_EQ(ExpandTreePath("", "ABC", "", "", "", 0), "\\");
  EXPECT_EQ(ExpandTreePath("a\\%i-%m-%v\\%4.2", "ABC12345", "V1", "GB", "EN", 42), "\\A\\42-GB-V1\\12\\");
  EXPECT_EQ(ExpandTreePath("%Q%", "X", "", "", "", 0), "\\Q\\");
  // Bounded: the template or the unit code ending early, a non-digit count, a count past the code.
  EXPECT_EQ(ExpandTreePath("X%1", "ABC", "", "", "", 0), "\\X\\");
  EXPECT_EQ(ExpandTreePath("X%1Y", "ABC", "", "", "", 0), "\\X\\");
  EXPECT_EQ(ExpandTreePath("X%1YZ", "ABC", "", "", "", 0), "\\X\\");
  EXPECT_EQ(ExpandTreePath("%9X9", "ABC", "", "", "", 0), "\\\\");
  EXPECT_EQ(ExpandTreePath("%2X9", "ABC", "", "", "", 0), "\\BC\\");
  EXPECT_EQ(ExpandTreePath("A\\\\B\\", "ABC", "", "", "", 0), "\\A\\B\\");
  std::string longTemplate(5000, 'A');
  EXPECT_EQ(ExpandTreePath(longTemplate, "ABC", "", "", "", 0).size(), 5002u);
}

TEST(Numbers, InstCodeReadsAsTheRuntimeDoes) {
  EXPECT_EQ(ReadInstCode("  12x"), 12);
  EXPECT_EQ(ReadInstCode("-7"), -7);
  EXPECT_EQ(ReadInstCode("+3"), 3);
  EXPECT_EQ(ReadInstCode("x1"), 0);
  EXPECT_EQ(ReadInstCode(""), 0);
  EXPECT_EQ(ReadInstCode("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ReadInstCode("-99999999999999999999"), INT32_MIN);
}

// ---- the installed list ----

class InstalledList : public Volume {
 protected:
  void Open() {
    MakeDirs("C:\\INST");
    ASSERT_EQ(list.OpenOrCreate("C:\\INST\\relwork", InstalledListFields(), &InstalledListTags()), 0);
  }
  void Add(const std::string& code, const std::string& date, const std::string& volume) {
    list.AppendStart(true);
    list.AssignString("UNITCODE", code);
    list.AssignString("PRODDATE", date);
    list.AssignString("VOLUME", volume);
    list.AssignString("VIEWTECH", "OL");
    ASSERT_EQ(list.Append(), 0);
  }
  std::vector<std::map<std::string, std::string>> Rows() {
    list.Flush();
    return ReadRecords(C("INST/relwork.dbf"));
  }
  CDbIndexedTable list;
};

TEST_F(InstalledList, PartialKeyIsNotTheSameWorkunit) {
  Open();
  Add("AB12", "2024", "V");
  EXPECT_EQ(CompareWorkunit(list, "AB1", "2020", false, "V"), 1);
  EXPECT_EQ(WriteWorkunit(list, "AB1", "NV", "GB", "EN", 1, "2020", "V", false), 0);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["PRODDATE"], "2024");  // AB12 untouched
  EXPECT_EQ(rows[1]["UNITCODE"], "AB1");
  EXPECT_EQ(CompareWorkunit(list, "ab1", "2020", false, "V"), 1);  // keys are case-sensitive
}

TEST_F(InstalledList, SingleInstallComparesDateThenVolume) {
  Open();
  Add("U1", "2024", "VOL1");
  EXPECT_EQ(CompareWorkunit(list, "U1", "2025", false, "VOL1"), 2);
  EXPECT_EQ(CompareWorkunit(list, "U1", "2023", false, "VOL1"), 0);
  EXPECT_EQ(CompareWorkunit(list, "U1", "2024", false, "vol1"), 0);
  EXPECT_EQ(CompareWorkunit(list, "U1", "2024", false, "VOL2"), 2);
  WriteWorkunit(list, "U1", "NV", "GB", "EN", 5, "2025", "VOL2", false);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["VOLUME"], "VOL2");
  EXPECT_EQ(rows[0]["PRODDATE"], "2025");
  EXPECT_EQ(rows[0]["VIEWTECH"], "NV");
}

TEST_F(InstalledList, MultiInstallKeepsOneRecordPerVolume) {
  Open();
  Add("M1", "2024", "VOL1");
  Add("M1", "2024", "VOL2");
  EXPECT_EQ(CompareWorkunit(list, "M1", "2024", true, "VOL3"), 1);
  EXPECT_EQ(CompareWorkunit(list, "M1", "2024", true, "VOL1"), 0);
  EXPECT_EQ(CompareWorkunit(list, "M1", "2025", true, "VOL1"), 2);
  // A new volume with a copy of another volume not later: added beside them.
  WriteWorkunit(list, "M1", "NV", "GB", "EN", 1, "2024", "VOL3", true);
  EXPECT_EQ(Rows().size(), 3u);
  // A later date updates every older copy, volumes included; duplicates are blanked.
  WriteWorkunit(list, "M1", "NV", "GB", "EN", 1, "2025", "VOL1", true);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["VOLUME"], "VOL1");
  EXPECT_EQ(rows[0]["PRODDATE"], "2025");
}

TEST_F(InstalledList, TwoRecordsOfOneVolumeEndAsOneAndVolumesAreComparedWhole) {
  Open();
  Add("M2", "2024", "VOL10");
  Add("M2", "2024", "VOL1");
  Add("M2", "2024", "VOL1");
  Add("M2", "2024", "");
  Add("M2", "2024", "");
  WriteWorkunit(list, "M2", "NV", "GB", "EN", 1, "2024", "VOL1", true);
  auto rows = Rows();
  ASSERT_EQ(rows.size(), 3u);  // VOL10, one VOL1, one empty volume
  std::multiset<std::string> volumes;
  for (auto& r : rows) volumes.insert(r["VOLUME"]);
  EXPECT_EQ(volumes, (std::multiset<std::string>{"", "VOL1", "VOL10"}));
}

TEST_F(InstalledList, PurgeRemovesLowercaseCodesAndTheIndexIsRebuilt) {
  Open();
  Add("ABC", "2024", "V");
  Add("abc", "2024", "V");
  Add("zz", "2024", "V");
  list.Close();
  PurgeLowercaseWorkunits("C:\\INST\\relwork");
  EXPECT_FALSE(std::filesystem::exists(C("INST/RELWORK.CDX")));
  auto rows = ReadRecords(C("INST/relwork.dbf"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["UNITCODE"], "ABC");
  Open();
  EXPECT_EQ(CompareWorkunit(list, "ABC", "2024", false, "V"), 0);
  list.Close();
  // Nothing lower case: nothing changes.
  PurgeLowercaseWorkunits("C:\\INST\\relwork");
  EXPECT_TRUE(std::filesystem::exists(C("INST/RELWORK.CDX")));
}

// ---- the library holder ----

TEST_F(Volume, LibraryHolderReusesOneLibraryAndRefusesOutsideNames) {
  CInstallDll dll;
  dll.Load("Copy32");
  EXPECT_TRUE(dll.Held());
  dll.Load("COPY32");  // the same library whatever the case
  EXPECT_EQ(dll.LoadCount(), 1);
  dll.Load("Merge32");
  EXPECT_EQ(dll.LoadCount(), 2);
  EXPECT_EQ(dll.Name(), "Merge32");
  dll.Unload();
  EXPECT_FALSE(dll.Held());
  for (std::string bad : std::vector<std::string>{"../dll32/Copy32", "..", "x\\y", "C:Copy32", "", std::string("Copy32\0x", 8)}) {
    CInstallDll other;
    other.Load(bad);
    EXPECT_FALSE(other.Held()) << bad;
    std::string a, b, c, d, e;
    EXPECT_EQ(other.Call(nullptr, a, b, c, d, e, 0), -1);
  }
  CInstallDll noEntry;
  noEntry.Load("NoEntry");
  EXPECT_FALSE(noEntry.Held());
}

TEST_F(InstallRun, DamagedModuleAndDestinationTables) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Copy32"}});
  Write(E("REL/module.dbf"), std::string(32, '\x03') + std::string(300, '\x7F'));
  // No module list: no workunit could be installed, and the volume stays unregistered.
  EXPECT_EQ(Run(kCmd), kInstallNoWorkunitList);
  EXPECT_TRUE(StatusHas("Component is missing its module table\n"));
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(Registry().empty());
  // An installed list that is not a table: -5, and the file is left as it was.
  StandardVolume("2030");
  std::string garbage(700, '\x8B');
  const std::string list = FindFileNoCase(C("INST/data/AB/EN/relwork.dbf"));
  ASSERT_FALSE(list.empty());
  Write(list, garbage);
  EXPECT_EQ(Run(kCmd), kInstallNoDestination);
  EXPECT_EQ(Read(list), garbage);
  EXPECT_TRUE(Calls().empty());
}

// ---- failures that end the run honestly ----

TEST_F(InstallRun, DamagedKeyTextsOfTheListsOwnTagsAreBuiltAgainAndAForeignTagThatCannotBeEvaluatedEndsTheRun) {
  StandardVolume("2024");
  std::vector<Row> units = {{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}};
  Work(units);
  ASSERT_EQ(Run(kCmd), 0);
  Calls();
  const std::string cdx = FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"));
  const std::string byCode("UNITCODE\0UNITCODE > '!'", 23), byCodeDate("UNITCODE-PRODDATE\0", 18);
  // One byte of a key or filter text of BYCODE or BYCODEDATE: each tag is made again from the
  // texts the list defines it with, and the run goes on.
  struct Case {
    std::string text;
    size_t at;
    char byte;
  } cases[] = {{byCode, 0, 'X'}, {byCode, 3, '\0'}, {byCode, 18, '?'}, {byCode, 18, '<'},
               {byCodeDate, 0, 'X'}, {byCodeDate, 8, '+'}, {byCodeDate, 17, 'X'}};
  int n = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(n));
    std::string bytes = Read(cdx);
    const size_t at = bytes.find(c.text);
    ASSERT_NE(at, std::string::npos);
    bytes[at + c.at] = c.byte;
    Write(cdx, bytes);
    VolumeRecord({"VOL1", "Service volume", "2024" + std::to_string(n), "", ""});
    units.push_back({"DOC" + std::to_string(n), "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"});
    Work(units);
    EXPECT_EQ(Run(kCmd), 0);
    EXPECT_TRUE(StatusHas("did not agree with its table and was built again"));
    EXPECT_EQ(Calls().size(), 2u);  // the new workunit and the merge
    EXPECT_EQ(Installed().size(), size_t(n));
    auto list = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), true);
    ASSERT_EQ(list->openIndex(cdx), tables::kOk);
    EXPECT_EQ(list->index()->tag("BYCODE")->expression(), "UNITCODE");
    EXPECT_EQ(list->index()->tag("BYCODE")->filter(), "UNITCODE > '!'");
    EXPECT_EQ(list->index()->tag("BYCODEDATE")->expression(), "UNITCODE-PRODDATE");
    EXPECT_TRUE(list->index()->matchesRecords());
    ++n;
  }
  // A tag another tool added, whose key text is damaged: it cannot be rebuilt from anything, so
  // nothing can be written through the index and the run ends with 251, the index left alone.
  {
    auto list = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), false);
    std::vector<tables::TagDef> tags = InstalledListTags();
    tags.push_back({"TRIMMED", "ALLTRIM(UNITCODE)", "", 0, 0});
    ASSERT_EQ(list->createIndex(cdx, tags), tables::kOk);
  }
  std::string bytes = Read(cdx);
  const size_t at = bytes.find("ALLTRIM(UNITCODE)");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 15] = 'X';
  Write(cdx, bytes);
  VolumeRecord({"VOL1", "Service volume", "2099", "", ""});
  units.push_back({"DOCX", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"});
  Work(units);
  EXPECT_EQ(Run(kCmd), kInstallNoDestination);  // no library is called for what cannot be recorded
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Read(cdx), bytes);
  EXPECT_NE(Registry()[0]["PRODDATE"], "2099");
}

TEST_F(InstallRun, TagAnotherToolAddedToTheInstalledIndexIsKept) {
  StandardVolume("2024");
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}});
  ASSERT_EQ(Run(kCmd), 0);
  Calls();
  {
    auto list = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), false);
    ASSERT_TRUE(list);
    std::vector<tables::TagDef> tags = InstalledListTags();
    tags.push_back({"TRIMMED", "ALLTRIM(UNITCODE)", "", 0, 0});
    ASSERT_EQ(list->createIndex(FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX")), tags), tables::kOk);
  }
  VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
  Work({{"DOC1", "V2", "GB", "EN", "2025", "VOL1", "1", "Copy32"},
        {"DOC2", "V1", "GB", "EN", "2025", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Installed().size(), 2u);
  auto list = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), true);
  ASSERT_EQ(list->openIndex(FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"))), tables::kOk);
  EXPECT_EQ(list->index()->tag("TRIMMED")->keyCount(), 2u);
}

TEST_F(InstallRun, DamagedVolumeRegistryIsRefusedAndADamagedInstalledCopyIsReplaced) {
  const std::string spec = "LOGICALID C(12); HR_DESC C(30); PRODDATE C(18); LABEL C(12); LANRES C(8)";
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}});
  // The volume's registry written by another tool, then its version byte damaged.
  std::filesystem::remove(E("REL/volume.dbf"));
  PythonTable(E("REL/volume.dbf"), spec, {{"VOL1", "Service volume 1", "2024", "L1", "R1"}});
  std::string good = Read(E("REL/volume.dbf"));
  Write(E("REL/volume.dbf"), std::string(1, '\0') + good.substr(1));
  EXPECT_EQ(Run(kCmd), kInstallNoProducts);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(FindFileNoCase(C("INST/data/AB/EN/volume.dbf")), "");  // never copied
  // The volume mended: it installs.
  Write(E("REL/volume.dbf"), good);
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Calls().size(), 2u);
  ASSERT_EQ(Registry().size(), 1u);
  // The installed copy damaged: reported, and the next good volume installs and replaces it.
  const std::string installed = FindFileNoCase(C("INST/data/AB/EN/volume.dbf"));
  std::string copy = Read(installed);
  Write(installed, std::string(1, '\0') + copy.substr(1));
  std::filesystem::remove(E("REL/volume.dbf"));
  PythonTable(E("REL/volume.dbf"), spec, {{"VOL1", "Service volume 2", "2025", "L2", "R2"}});
  Work({{"DOC1", "V1", "GB", "EN", "2025", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_TRUE(StatusHas("is damaged; this volume replaces it"));
  EXPECT_EQ(Calls().size(), 2u);
  auto registry = Registry();
  ASSERT_EQ(registry.size(), 1u);
  EXPECT_EQ(registry[0]["PRODDATE"], "2025");
}

// ---- damaged tables and indexes ----

namespace {

// Sets one byte of a file; returns the file as it was.
std::string Damage(const std::string& file, size_t at, char byte) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::string good = bytes;
  bytes.at(at) = byte;
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  return good;
}
// The offset of field n's (from 1) type letter in a table's header.
size_t TypeOf(int field) { return size_t(32 * field + 11); }

}  // namespace

TEST_F(InstallRun, DamagedFieldDescriptorRefusesItsTableBeforeAnythingIsInstalled) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}, {"DOC2", "V1", "GB", "EN", "2024", "VOL1", "1", ""}});
  struct Case {
    std::string file;
    size_t at;
    char byte;
    int result;
  } cases[] = {
      {E("REL/relwork.dbf"), TypeOf(8), '\0', kInstallNoWorkunitList},  // INSTDLL
      {E("REL/relwork.dbf"), 32 + 5, 'X', kInstallNoWorkunitList},     // UNITCODE named UNITCXDE
      {E("REL/module.dbf"), TypeOf(2), '\0', kInstallNoWorkunitList},   // WUIDMASK
      {E("REL/module.dbf"), TypeOf(4), '\0', kInstallNoWorkunitList},   // TREEPARAM
      {E("quillet/products.dbf"), TypeOf(2), '\0', kInstallNoProducts},  // LANG
      {E("quillet/products.dbf"), TypeOf(1), '\0', kInstallNoProducts},  // PRODUCT
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " byte " + std::to_string(c.at));
    const std::string good = Damage(c.file, c.at, c.byte);
    EXPECT_EQ(Run(kCmd), c.result);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(Installed().empty());
    EXPECT_TRUE(Registry().empty());
    Write(c.file, good);
  }
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Installed().size(), 2u);
}

TEST_F(InstallRun, DamagedFieldOfAVolumeRegistryIsRefusedAndADamagedInstalledCopyReplacedOnce) {
  StandardVolume("2024");
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}});
  const std::string good = Damage(E("REL/volume.dbf"), TypeOf(3), '\0');  // PRODDATE
  EXPECT_EQ(Run(kCmd), kInstallNoProducts);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(Installed().empty());
  EXPECT_EQ(FindFileNoCase(C("INST/data/AB/EN/volume.dbf")), "");  // never copied
  Write(E("REL/volume.dbf"), good);
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Calls().size(), 2u);
  // The installed copy damaged alike: the next volume replaces it, and is then up to date.
  Damage(FindFileNoCase(C("INST/data/AB/EN/volume.dbf")), TypeOf(1), '\0');  // LOGICALID
  VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
  Work({{"DOC1", "V1", "GB", "EN", "2025", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_TRUE(StatusHas("is damaged; this volume replaces it"));
  EXPECT_EQ(Calls().size(), 2u);
  ASSERT_EQ(Registry().size(), 1u);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Registry().size(), 1u);
}

TEST_F(InstallRun, InstalledIndexThatDisagreesWithItsTableIsBuiltAgainAndNothingIsRecordedTwice) {
  StandardVolume("2024");
  std::vector<Row> units;
  for (int i = 1; i <= 3; ++i) units.push_back({"DOC" + std::to_string(i), "V1", "GB", "EN", "2024", "VOL1", "1", ""});
  Work(units);
  ASSERT_EQ(Run(kCmd), 0);
  const std::string cdx = FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"));
  // Each case damages one byte of the installed index; the next volume brings one more workunit.
  auto nextVolume = [&](int n) {
    Calls();
    VolumeRecord({"VOL1", "Service volume", "2024" + std::to_string(n), "", ""});
    units.push_back({"DOC" + std::to_string(n), "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"});
    Work(units);
    EXPECT_EQ(Run(kCmd), 0);
    EXPECT_TRUE(StatusHas("did not agree with its table and was built again"));
    EXPECT_EQ(Calls().size(), 2u);  // the new workunit and the merge
    std::set<std::string> codes;
    for (auto& r : Installed()) EXPECT_TRUE(codes.insert(r["UNITCODE"]).second) << r["UNITCODE"];
    EXPECT_EQ(codes.size(), size_t(n));
  };
  // A filter turned round, "UNITCODE < '!'": the tag would find no workunit.
  std::string bytes = Read(cdx);
  Damage(cdx, bytes.find("UNITCODE > '!'") + 9, '<');
  nextVolume(4);
  // A record number in the leaf of BYCODE (keys "DOC1", not "DOC12024" of BYCODEDATE): DOC1's
  // key points at DOC2's record.
  bytes = Read(cdx);
  size_t leaf = std::string::npos;
  for (size_t p = 0; p + 512 <= bytes.size() && leaf == std::string::npos; p += 512) {
    std::string page = bytes.substr(p, 512);
    if ((page[0] & 2) && page.find("DOC1") != std::string::npos && page.find("DOC12024") == std::string::npos) leaf = p;
  }
  ASSERT_NE(leaf, std::string::npos);
  ASSERT_EQ(bytes[leaf + 24], 1);  // the first entry's record number, in its low bits
  Damage(cdx, leaf + 24, 2);
  nextVolume(5);
}

TEST_F(InstallRun, UnwritableDestinationOrUnreadableModulesLeaveTheVolumeUnregistered) {
  StandardVolume("2024");
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}});
  ASSERT_EQ(Run(kCmd), 0);
  Calls();
  VolumeRecord({"VOL1", "Service volume 2", "2025", "", ""});
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"},
        {"DOC2", "V1", "GB", "EN", "2025", "VOL1", "1", "Copy32"}});
  {
    // The installed registry cannot be opened for writing (held by another process here; a
    // read-only file system or an immutable file does the same).
    const std::string registry = FindFileNoCase(C("INST/data/AB/EN/volume.dbf"));
    int fd = ::open(registry.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(Run(kCmd), kInstallNoDestination);
    EXPECT_TRUE(StatusHas("is in use by another program; try again when it has finished\n"));
    ::close(fd);
  }
  // The module table missing, or unreadable (for a user other than root).
  const std::string modules = E("REL/module.dbf");
  const std::string moduleBytes = Read(modules);
  if (::geteuid() != 0) {
    std::filesystem::permissions(modules, std::filesystem::perms::none);
    EXPECT_EQ(Run(kCmd), kInstallNoWorkunitList);
    std::filesystem::permissions(modules, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
  std::filesystem::remove(modules);
  EXPECT_EQ(Run(kCmd), kInstallNoWorkunitList);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2024");
  // Repaired: the rerun installs everything that is missing.
  Write(modules, moduleBytes);
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Calls().size(), 2u);  // DOC2 and the merge
  EXPECT_EQ(Installed().size(), 2u);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
}

TEST_F(InstallRun, AnExceptionEndsTheRunAsAFailureAndItIsNoLongerInProgress) {
  // Whatever leaves the run by an exception (no memory, a library's error) ends it as aborted,
  // with what stopped it on the status line: never as done, and nothing registered.
  const std::function<void()> throwers[] = {[] { throw std::runtime_error("thrown inside the run"); },
                                            [] { throw std::bad_alloc(); }, [] { throw 7; }};
  const std::string texts[] = {"thrown inside the run", "std::bad_alloc", "unknown"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(texts[i]);
    StandardVolume();
    Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}, {"DOC2", "V1", "GB", "EN", "2024", "VOL1", "1", ""}});
    LetRunStart(1);
    FormsScript::OnForm("CInstallerDlg", [thrower = throwers[i]](TForm&) { thrower(); });
    Application->OnException = [](const std::exception&) { throw; };  // nothing stops it on its way out
    EXPECT_EQ(Run(kCmd), kInstallDllFailed);
    Application->OnException = nullptr;
    EXPECT_TRUE(StatusHas("The install stopped on an error: " + texts[i] + "\n")) << status_;
    EXPECT_FALSE(StatusHas("Install successfully completed"));
    EXPECT_TRUE(Registry().empty());
    // An exit now is not one during a run: the exit handler leaves the result alone.
    EXPECT_FALSE(RunInProgress());
    Calls();
    std::filesystem::remove_all(C("INST"));
  }
}

TEST_F(InstallRun, HeadlessPausedEndsAsCancelledAndHeadlessQuestionsArePrinted) {
  StandardVolume();
  Work({{"DOC1", "V1", "GB", "EN", "2024010112000000", "VOL1", "1", "Fail32"}});
  testing::internal::CaptureStderr();
  EXPECT_EQ(Run(kCmd + std::string(" PAUSED")), kInstallCancelled);  // no Cancel can be pressed
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("PAUSED waits for the Cancel button, and there is no display"), std::string::npos) << err;
  EXPECT_TRUE(Calls().empty());
  testing::internal::CaptureStderr();
  EXPECT_EQ(Run(kCmd + std::string(" DEBUG")), kInstallDllFailed);
  err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[DOC1] could not be installed properly.  Do you want to continue? [No]\n"), std::string::npos)
      << err;
}

// ---- every tag equal to its records ----

TEST_F(InstallRun, MultiInstallRunsLeaveEveryTagEqualToItsRecords) {
  StandardVolume("2024");
  Modules({{"MULTI", "M*", "1", "M", "Y"}});
  auto units = [](int count, const std::string& date, const std::string& volume) {
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "M%06d", i);
      rows.push_back({code, "V1", "GB", "EN", date, volume, "1", ""});
    }
    return rows;
  };
  auto tagsMatch = [&] {
    auto list = tables::OpenTable(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")), true);
    std::string cdx = FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX"));
    return list && !cdx.empty() && list->openIndex(cdx) == tables::kOk && list->index()->matchesRecords();
  };
  // Volumes of 150, then 300 and 300 units, each newer, some of the same date as the last.
  const struct {
    int count;
    std::string date, volume;
  } volumes[] = {{150, "2024", "VOL1"}, {300, "2025", "VOL2"}, {300, "2025", "VOL3"}, {300, "2026", "VOL1"}};
  int n = 0;
  for (const auto& v : volumes) {
    SCOPED_TRACE(v.volume + " " + v.date);
    VolumeRecord({"VOL1", "Service volume", v.date + std::to_string(n++), "", ""});
    Work(units(v.count, v.date, v.volume));
    ASSERT_EQ(Run(kCmd), 0);
    EXPECT_FALSE(StatusHas("did not agree")) << "the last run left its index wrong";
    EXPECT_TRUE(tagsMatch());
  }
}

// ---- fields of another type ----

namespace {

// A type letter of a dBASE or FoxPro writer, with a length its descriptor check allows.
struct Letter {
  char type;
  int len;
};
const Letter kLetters[] = {{'N', 8}, {'F', 8}, {'D', 8},  {'L', 1}, {'M', 10}, {'G', 4}, {'P', 4}, {'B', 8}, {'I', 4},
                           {'+', 4}, {'Y', 8}, {'T', 8}, {'@', 8}, {'O', 8},  {'V', 8}, {'Q', 8}, {'0', 1}};

// Writes the table with field `k` made `len` long, then gives that field the type letter.
void RetypedTable(const std::string& file, std::vector<tables::FieldDef> fields, size_t k, Letter letter,
                  const std::vector<Row>& rows, const std::vector<tables::TagDef>& tags = {}) {
  std::filesystem::remove(file);
  fields[k].len = letter.len;
  MakeTable(file, fields, rows, tags);
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(std::streamoff(32 * (k + 1) + 11));
  f.put(letter.type);
}

}  // namespace

TEST_F(InstallRun, EveryFieldTheRunReadsUnderAnotherTypeLetterRefusesItsTable) {
  StandardVolume("2024");
  const std::vector<Row> products = {{"XY", "EN", "\\REL\\", "Other product", "Merge32"},
                                     {"AB", "EN", "\\REL\\", "Service data", "Merge32"}};
  const Row volume = {"VOL1", "Service volume 1", "2024", "", "R1"};
  const std::vector<Row> modules = {{"DOCS", "D*", "1", "DOCS\\%1X3\\%L", "N"}};
  const std::vector<Row> work = {{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"},
                                 {"DOC2", "V1", "GB", "EN", "2024", "VOL1", "1", ""}};
  Work(work);
  const auto saved = root_ / "saved";
  ASSERT_EQ(Run(kCmd), 0);
  std::filesystem::copy(C("INST"), saved, std::filesystem::copy_options::recursive);
  Calls();
  // The volume's tables: the run ends with the table's status before anything is installed.
  struct Source {
    std::string file;
    const std::vector<tables::FieldDef>& fields;
    std::vector<Row> rows;
    std::vector<tables::TagDef> tags;
    int result;
  } sources[] = {
      {E("quillet/products.dbf"), ProductFields(), products, {}, kInstallNoProducts},
      {E("REL/module.dbf"), ModuleFields(), modules, {}, kInstallNoWorkunitList},
      {E("REL/relwork.dbf"), WorkFields(), work, WorkTags(), kInstallNoWorkunitList},
      {E("REL/volume.dbf"), VolumeFields(), {volume}, {}, kInstallNoProducts},
  };
  for (const Source& s : sources) {
    const std::string good = Read(s.file);
    for (size_t k = 0; k < s.fields.size(); ++k)
      for (const Letter& letter : kLetters) {
        if (s.fields[k].name == "INSTCODE" && letter.type == 'N') continue;  // a number read as its text
        SCOPED_TRACE(s.file + " " + s.fields[k].name + " typed " + letter.type);
        std::filesystem::remove_all(C("INST"));
        RetypedTable(s.file, s.fields, k, letter, s.rows, s.tags);
        EXPECT_EQ(Run(kCmd), s.result);
        EXPECT_TRUE(Calls().empty());
        EXPECT_TRUE(Installed().empty());
        EXPECT_TRUE(Registry().empty());
      }
    Write(s.file, good);
    if (!s.tags.empty()) Work(work);
  }
  // The installation's workunit list: nothing can be recorded, the volume stays unregistered.
  VolumeRecord({"VOL1", "Service volume 2", "2025", "", "R2"});
  Work({{"DOC1", "V1", "GB", "EN", "2025", "VOL1", "1", "Copy32"}, {"DOC3", "V1", "GB", "EN", "2025", "VOL1", "1", ""}});
  const std::vector<Row> listRows = {{"", "DOC1", "V1", "GB", "EN", "2024", "VOL1"},
                                     {"", "DOC2", "V1", "GB", "EN", "2024", "VOL1"}};
  for (size_t k = 0; k < InstalledListFields().size(); ++k)
    for (const Letter& letter : kLetters) {
      SCOPED_TRACE("installed list " + InstalledListFields()[k].name + " typed " + letter.type);
      std::filesystem::remove_all(C("INST"));
      std::filesystem::copy(saved, C("INST"), std::filesystem::copy_options::recursive);
      std::filesystem::remove(FindFileNoCase(C("INST/data/AB/EN/relwork.dbf")));
      std::filesystem::remove(FindFileNoCase(C("INST/data/AB/EN/RELWORK.CDX")));
      RetypedTable(C("INST/data/AB/EN/relwork.dbf"), InstalledListFields(), k, letter, listRows, InstalledListTags());
      EXPECT_EQ(Run(kCmd), kInstallNoDestination);
      EXPECT_TRUE(Calls().empty());
      EXPECT_EQ(Registry()[0]["PRODDATE"], "2024");
    }
  // The installation's volume registry: damaged, so the volume replaces it, the run ends 0 with
  // the new volume registered whole, and the next run finds it up to date.
  for (size_t k = 0; k < VolumeFields().size(); ++k)
    for (const Letter& letter : kLetters) {
      SCOPED_TRACE("installed registry " + VolumeFields()[k].name + " typed " + letter.type);
      std::filesystem::remove_all(C("INST"));
      std::filesystem::copy(saved, C("INST"), std::filesystem::copy_options::recursive);
      std::filesystem::remove(FindFileNoCase(C("INST/data/AB/EN/volume.dbf")));
      RetypedTable(C("INST/data/AB/EN/volume.dbf"), VolumeFields(), k, letter, {volume});
      EXPECT_EQ(Run(kCmd), 0);
      EXPECT_TRUE(StatusHas("is damaged; this volume replaces it"));
      EXPECT_EQ(Calls().size(), 2u);  // DOC1 updated (DOC3 added without a library), the merge
      auto registry = Registry();
      ASSERT_EQ(registry.size(), 1u);
      EXPECT_EQ(registry[0]["PRODDATE"], "2025");
      EXPECT_EQ(registry[0]["LANRES"], "R2");
      EXPECT_EQ(Run(kCmd), 0);
      EXPECT_TRUE(Calls().empty());
    }
}

// ---- a volume's tables against their files ----

TEST_F(InstallRun, EveryHeaderByteOfAVolumesTablesDamagedEitherRefusesTheVolumeOrChangesNothing) {
  StandardVolume("2024");
  Modules({{"DOCS", "D*", "1", "DOCS\\%1X3\\%L", "N"}});
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}, {"DOC2", "V1", "GB", "EN", "2024", "VOL1", "1", ""},
        {"DOC3", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}});
  // A volume is read-only and written whole: a header length that disagrees with the descriptors,
  // or a record count that disagrees with the file, is damage, not fewer or other records.
  for (const std::string& file : {E("quillet/products.dbf"), E("REL/module.dbf"), E("REL/relwork.dbf"), E("REL/volume.dbf")}) {
    const std::string good = Read(file);
    const size_t headerLen = uint8_t(good[8]) | uint8_t(good[9]) << 8;
    for (size_t at = 0; at < headerLen; ++at)
      for (int delta : {-1, 1}) {
        SCOPED_TRACE(file + " byte " + std::to_string(at) + (delta < 0 ? " - 1" : " + 1"));
        std::string bytes = good;
        bytes[at] = char(uint8_t(bytes[at]) + delta);
        Write(file, bytes);
        std::filesystem::remove_all(C("INST"));
        const int rc = Run(kCmd);
        auto calls = Calls();
        auto installed = Installed();
        auto registry = Registry();
        if (rc != 0) {
          EXPECT_TRUE(calls.empty());
          EXPECT_TRUE(installed.empty());
          EXPECT_TRUE(registry.empty());
          continue;
        }
        EXPECT_EQ(calls.size(), 3u);  // DOC1, DOC3 and the merge
        std::vector<std::string> codes;
        for (auto& r : installed) codes.push_back(r["UNITCODE"]);
        EXPECT_EQ(codes, (std::vector<std::string>{"DOC1", "DOC2", "DOC3"}));
        std::vector<std::string> volumes;
        for (auto& r : registry) volumes.push_back(r["LOGICALID"] + " " + r["PRODDATE"] + " " + r["LANRES"]);
        EXPECT_EQ(volumes, std::vector<std::string>{"VOL1 2024 R1"});
      }
    Write(file, good);
  }
}

// Each table of a volume as a writer that fills the file's last block leaves it: the records, the
// end mark and NUL bytes to a block boundary. The volume installs; padded with blanks instead
// (records the header does not count, as far as anyone can tell), it is refused.
TEST_F(InstallRun, VolumeTablesPaddedWithNulBytesToABlockBoundaryInstall) {
  StandardVolume("2024");
  Modules({{"DOCS", "D*", "1", "DOCS\\%1X3\\%L", "N"}});
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}, {"DOC2", "V1", "GB", "EN", "2024", "VOL1", "1", ""}});
  const std::vector<std::string> files = {E("quillet/products.dbf"), E("REL/module.dbf"), E("REL/relwork.dbf"),
                                          E("REL/volume.dbf")};
  for (const std::string& file : files) {
    std::string bytes = Read(file);
    bytes.resize((bytes.size() / 512 + 1) * 512, '\0');
    Write(file, bytes);
  }
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Calls().size(), 2u);  // DOC1 and the merge
  EXPECT_EQ(Installed().size(), 2u);
  EXPECT_EQ(Registry().size(), 1u);
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const std::string good = Read(file);
    std::string bytes = good;
    const size_t end = bytes.find_last_not_of('\0') + 1;
    std::fill(bytes.begin() + long(end), bytes.end(), ' ');
    Write(file, bytes);
    std::filesystem::remove_all(C("INST"));
    EXPECT_LT(Run(kCmd), 0);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(Installed().empty());
    Write(file, good);
  }
}

TEST_F(InstallRun, VolumeRegistryWithoutARecordIsRefusedBeforeAnythingIsInstalled) {
  StandardVolume("2024");
  Work({{"DOC1", "V1", "GB", "EN", "2024", "VOL1", "1", "Copy32"}});
  MakeTable(E("REL/volume.dbf"), VolumeFields(), {});
  EXPECT_EQ(Run(kCmd), kInstallNoProducts);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(Installed().empty());
  EXPECT_EQ(FindFileNoCase(C("INST/data/AB/EN/volume.dbf")), "");
  // Over an installation: its registry keeps its one record, and no blank one joins it.
  VolumeRecord({"VOL1", "Service volume 1", "2024", "", "R1"});
  ASSERT_EQ(Run(kCmd), 0);
  Calls();
  MakeTable(E("REL/volume.dbf"), VolumeFields(), {});
  Work({{"DOC1", "V1", "GB", "EN", "2025", "VOL1", "1", "Copy32"}});
  EXPECT_EQ(Run(kCmd), kInstallNoProducts);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(Registry().size(), 1u);
  VolumeRecord({"VOL1", "Service volume 2", "2025", "", "R2"});
  EXPECT_EQ(Run(kCmd), 0);
  EXPECT_EQ(Calls().size(), 2u);
  ASSERT_EQ(Registry().size(), 1u);
  EXPECT_EQ(Registry()[0]["PRODDATE"], "2025");
}
