// Helpers of the install-run tests: volume folders written through the table layer (products,
// volume registry, modules, workunit list with its index), the installation's tables read back,
// and the record the test install libraries keep of their calls.
#pragma once

#include "InstallerTestSupport.h"
#include "Files.h"
#include "Tables.h"

#include "FormsScript.h"
#include "Forms.h"
#include "InstallerApp.h"

#include <functional>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

namespace insttest {

using Row = std::vector<std::string>;

/// Writes a table (and, with tags, its index beside it: base name upper case + ".CDX").
inline void MakeTable(const std::string& hostPath, const std::vector<tables::FieldDef>& fields,
                      const std::vector<Row>& rows, const std::vector<tables::TagDef>& tags = {}) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  auto t = tables::CreateTable(hostPath, fields);
  ASSERT_TRUE(t) << hostPath;
  for (const Row& r : rows) {
    ASSERT_EQ(t->appendStart(true), 0);
    for (size_t i = 0; i < r.size() && i < fields.size(); ++i) t->assignText(int(i), r[i]);
    ASSERT_EQ(t->append(), 0);
  }
  if (!tags.empty()) {
    std::filesystem::path p(hostPath);
    std::string base = p.stem().string();
    for (char& c : base) c = char(toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(t->createIndex((p.parent_path() / (base + ".CDX")).string(), tags), 0);
  }
  t->close();
}

/// Writes a dBASE III table with python3-dbf, a writer other than ours; `spec` as
/// "LOGICALID C(12); HR_DESC C(30)". Values are plain ASCII.
inline void PythonTable(const std::string& hostPath, const std::string& spec, const std::vector<Row>& rows) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  auto quote = [](const std::string& v) {
    std::string q = "'";
    for (char c : v) q += (c == '\'' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return q + "'";
  };
  std::string script = "import dbf\nt = dbf.Table(" + quote(hostPath) + ", " + quote(spec) +
                       ", dbf_type='db3')\nt.open(dbf.READ_WRITE)\n";
  for (const Row& r : rows) {
    script += "t.append((";
    for (const std::string& v : r) script += quote(v) + ",";
    script += "))\n";
  }
  script += "t.close()\n";
  const std::string file = hostPath + ".py";
  std::ofstream(file) << script;
  ASSERT_EQ(std::system(("/usr/bin/python3 '" + file + "' 2>&1").c_str()), 0) << "python3-dbf is needed";
  std::filesystem::remove(file);
}

/// The non-blank records of a table as field name -> trimmed value, in record order.
inline std::vector<std::map<std::string, std::string>> ReadRecords(const std::string& hostPath) {
  std::vector<std::map<std::string, std::string>> out;
  std::string file = FindFileNoCase(hostPath);  // the installer may have named it "relwork.DBF"
  if (file.empty()) return out;
  auto t = tables::OpenTable(file, true);
  if (!t) return out;
  for (int r = 1; r <= t->recCount(); ++r) {
    t->go(r);
    std::map<std::string, std::string> rec;
    bool blank = true;
    for (int i = 0; i < t->fieldCount(); ++i) {
      std::string v = t->fieldText(i);
      while (!v.empty() && v.back() == ' ') v.pop_back();
      if (!v.empty()) blank = false;
      rec[t->field(i).name] = v;
    }
    if (!blank && !t->deleted()) out.push_back(rec);
  }
  return out;
}

inline const std::vector<tables::FieldDef>& ProductFields() {
  static const std::vector<tables::FieldDef> f = {
      {"PRODUCT", 'C', 8, 0}, {"LANG", 'C', 4, 0}, {"DIRECTORY", 'C', 30, 0}, {"DESC", 'C', 30, 0}, {"SMASHDLL", 'C', 12, 0}};
  return f;
}
inline const std::vector<tables::FieldDef>& VolumeFields() {
  static const std::vector<tables::FieldDef> f = {{"LOGICALID", 'C', 12, 0}, {"HR_DESC", 'C', 30, 0},
                                                  {"PRODDATE", 'C', 18, 0},  {"LABEL", 'C', 12, 0},
                                                  {"LANRES", 'C', 8, 0}};
  return f;
}
inline const std::vector<tables::FieldDef>& ModuleFields(bool multi = true) {
  static const std::vector<tables::FieldDef> withMulti = {{"NAME", 'C', 10, 0}, {"WUIDMASK", 'C', 8, 0},
                                                          {"CODE", 'C', 4, 0},  {"TREEPARAM", 'C', 30, 0},
                                                          {"MULTINST", 'C', 1, 0}};
  static const std::vector<tables::FieldDef> without(withMulti.begin(), withMulti.end() - 1);
  return multi ? withMulti : without;
}
inline const std::vector<tables::FieldDef>& WorkFields() {
  static const std::vector<tables::FieldDef> f = {
      {"UNITCODE", 'C', 8, 0}, {"VIEWTECH", 'C', 2, 0}, {"MARKET", 'C', 2, 0},  {"LANGUAGE", 'C', 2, 0},
      {"PRODDATE", 'C', 18, 0}, {"VOLUME", 'C', 12, 0}, {"INSTCODE", 'C', 6, 0}, {"INSTDLL", 'C', 12, 0}};
  return f;
}
inline const std::vector<tables::TagDef>& WorkTags() {
  static const std::vector<tables::TagDef> t = {{"UNITS", "UNITCODE", "", 0, 0}};
  return t;
}

/// A volume on drive E (folder REL) and an installation on drive C (C:\INST), the test install
/// libraries' record file, and the application reset before each run.
class Volume : public DriveC {
 protected:
  void SetUp() override {
    DriveC::SetUp();
    record_ = (root_ / "record.txt").string();
    setenv("QUILLET_TEST_RECORD", record_.c_str(), 1);
    FormsScript::Reset();
    Application->ResetRun();
    ResetMessages();
    App().Reset();  // the run's flags of an earlier test must not stop this one
  }
  void TearDown() override {
    EXPECT_EQ(FormsScript::PendingActions(), 0);
    unsetenv("QUILLET_TEST_RECORD");
    DriveC::TearDown();
  }

  void Products(const std::vector<Row>& rows) { MakeTable(E("quillet/products.dbf"), ProductFields(), rows); }
  void VolumeRecord(const Row& row, const std::string& dir = "REL") {
    MakeTable(E(dir + "/volume.dbf"), VolumeFields(), {row});
  }
  void Modules(const std::vector<Row>& rows, const std::string& dir = "REL") {
    MakeTable(E(dir + "/module.dbf"), ModuleFields(), rows);
  }
  void Work(const std::vector<Row>& rows, const std::string& dir = "REL") {
    MakeTable(E(dir + "/relwork.dbf"), WorkFields(), rows, WorkTags());
  }
  /// One product AB/EN on E:\REL\ with merge library Merge32 and a volume record.
  void StandardVolume(const std::string& prodDate = "2024010112000000") {
    Products({{"XY", "EN", "\\REL\\", "Other product", "Merge32"}, {"AB", "EN", "\\REL\\", "Service data", "Merge32"}});
    VolumeRecord({"VOL1", "Service volume 1", prodDate, "", "R1"});
    Modules({{"DOCS", "D*", "1", "DOCS\\%1X3\\%L", "N"}, {"PICS", "P?", "2", "PICS\\%V", "Y"}});
  }

  /// Copies Quillet and the test libraries into a program folder of its own; returns the program.
  std::string InstallProgram() {
    auto prog = root_ / "prog";
    std::filesystem::create_directories(prog / "dll32");
    std::filesystem::copy_file(std::string(VETRA_BIN_DIR) + "Quillet", prog / "Quillet");
    for (const char* lib : {"Copy32.so", "Merge32.so", "Exit32.so", "ExitAt32.so"})
      std::filesystem::copy_file(ProgramFolder() + "dll32/" + lib, prog / "dll32" / lib);
    return (prog / "Quillet").string();
  }
  /// The workunit list's rows of AB000<from> to AB000<to - 1> of `volume`, dated `date`, each
  /// installed by `library` ("": the module's).
  static std::vector<Row> AbRows(int from, int to, const std::string& date, const std::string& volume = "VOL1",
                                 const std::string& library = "") {
    std::vector<Row> rows;
    for (int i = from; i < to; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "AB%06d", i);
      rows.push_back({code, "V1", "GB", "EN", date, volume, "1", library});
    }
    return rows;
  }
  /// Workunits AB000<from> to AB000<to - 1> of VOL1 dated `date`, of a module of their own.
  void AbUnits(int from, int to, const std::string& date) {
    Modules({{"AB", "AB*", "1", "AB", "N"}});
    Work(AbRows(from, to, date));
  }

  /// Runs the installer in this process with the command line; returns the result.
  int Run(const std::string& commandLine) {
    // The status lines go to standard output headless; test failures inside the run are
    // reported after the capture ends.
    testing::internal::CaptureStdout();
    const bool failedBefore = ::testing::Test::HasFailure();
    App().InitInstance(commandLine);
    status_ = testing::internal::GetCapturedStdout();
    if (::testing::Test::HasFailure() && !failedBefore)
      std::printf("%s", status_.c_str());
    int rc = App().ResultCode;
    App().ExitInstance();
    Application->ResetRun();
    return rc;
  }
  /// The installation's workunit list and registry of AB/EN.
  std::vector<std::map<std::string, std::string>> Installed(const std::string& lang = "EN") {
    return ReadRecords(C("INST/data/AB/" + lang + "/relwork.dbf"));
  }
  std::vector<std::map<std::string, std::string>> Registry(const std::string& lang = "EN") {
    return ReadRecords(C("INST/data/AB/" + lang + "/volume.dbf"));
  }
  /// The lines of the record file (each call of a test library), then emptied.
  std::vector<std::string> Calls() {
    std::vector<std::string> out;
    std::istringstream in(Read(record_));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    std::filesystem::remove(record_);
    return out;
  }
  /// Lets the run start (the start message is a 1 ms timer that the first scripted turn would
  /// otherwise come before), then lets `pumps` turns of the run's message pump go by.
  static void LetRunStart(int pumps) {
    FormsScript::OnForm("CInstallerDlg", [](TForm&) { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
    for (int i = 0; i < pumps; ++i) FormsScript::OnForm("CInstallerDlg", [](TForm&) {});
  }
  /// Once the run has finished (the dialog stays open in DEBUG mode), runs `check` and presses
  /// the dialog's Close button; turns of the run's pump before that pass by.
  static void CloseWhenFinished(std::function<void(TForm&)> check = nullptr) {
    FormsScript::OnForm("CInstallerDlg", [check](TForm& f) {
      if (!App().RunFinished) {
        CloseWhenFinished(check);
        return;
      }
      if (check) check(f);
      EXPECT_TRUE(FormsScript::PressEscape(f));
    });
  }
  bool StatusHas(const std::string& text) const { return status_.find(text) != std::string::npos; }

  std::string record_, status_;
};

}  // namespace insttest
