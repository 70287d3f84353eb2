// Speed of the install run, headless: a volume of 1,000 workunits over 20 modules whose install
// library does nothing, installed into an empty installation, then again from a newer volume whose
// workunits are all up to date, then from one whose workunits are all newer.
//   bench_installer [workunits]
#include "Forms.h"
#include "HostPath.h"
#include "InstallerApp.h"
#include "Tables.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

void Make(const std::string& path, const std::vector<tables::FieldDef>& fields,
          const std::vector<std::vector<std::string>>& rows, const std::vector<tables::TagDef>& tags = {}) {
  fs::create_directories(fs::path(path).parent_path());
  auto t = tables::CreateTable(path, fields);
  for (const auto& r : rows) {
    t->appendStart(true);
    for (size_t i = 0; i < r.size(); ++i) t->assignText(int(i), r[i]);
    t->append();
  }
  if (!tags.empty()) t->createIndex(fs::path(path).parent_path() / "RELWORK.CDX", tags);
  t->close();
}

void Volume(const fs::path& e, int units, const std::string& volumeDate, const std::string& unitDate) {
  Make((e / "quillet/products.dbf").string(),
       {{"PRODUCT", 'C', 8, 0}, {"LANG", 'C', 4, 0}, {"DIRECTORY", 'C', 30, 0}, {"DESC", 'C', 30, 0}, {"SMASHDLL", 'C', 12, 0}},
       {{"AB", "EN", "\\REL\\", "Bench", "Nothing32"}});
  Make((e / "REL/volume.dbf").string(),
       {{"LOGICALID", 'C', 12, 0}, {"HR_DESC", 'C', 30, 0}, {"PRODDATE", 'C', 18, 0}, {"LABEL", 'C', 12, 0}, {"LANRES", 'C', 8, 0}},
       {{"VOL1", "Bench volume", volumeDate, "BENCH", ""}});
  std::vector<std::vector<std::string>> modules;
  for (int m = 0; m < 20; ++m) {
    char mask[8];
    std::snprintf(mask, sizeof mask, "M%02d*", m);
    modules.push_back({"MOD" + std::to_string(m), mask, std::to_string(m), "DATA\\%1X3\\%L", m % 4 == 0 ? "Y" : "N"});
  }
  Make((e / "REL/module.dbf").string(),
       {{"NAME", 'C', 10, 0}, {"WUIDMASK", 'C', 8, 0}, {"CODE", 'C', 4, 0}, {"TREEPARAM", 'C', 30, 0}, {"MULTINST", 'C', 1, 0}},
       modules);
  std::vector<std::vector<std::string>> work;
  for (int u = 0; u < units; ++u) {
    char code[16];
    std::snprintf(code, sizeof code, "M%02d%05d", u % 20, u);
    work.push_back({code, "V1", "GB", "EN", unitDate, "VOL1", std::to_string(u % 100), "Nothing32"});
  }
  Make((e / "REL/relwork.dbf").string(),
       {{"UNITCODE", 'C', 8, 0}, {"VIEWTECH", 'C', 2, 0}, {"MARKET", 'C', 2, 0}, {"LANGUAGE", 'C', 2, 0},
        {"PRODDATE", 'C', 18, 0}, {"VOLUME", 'C', 12, 0}, {"INSTCODE", 'C', 6, 0}, {"INSTDLL", 'C', 12, 0}},
       work, {{"UNITS", "UNITCODE", "", 0, 0}});
}

double Run(const char* what, int units) {
  auto start = Clock::now();
  // The status lines go to standard output headless: away with them while the run is timed.
  std::fflush(stdout);
  int saved = ::dup(1);
  int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, 1);
  App().InitInstance("/DE /BC:\\INST /PAB");
  std::fflush(stdout);
  ::dup2(saved, 1);
  ::close(null);
  ::close(saved);
  double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  auto installed = tables::OpenTable(fs::current_path() / "INST/data/AB/EN/relwork.DBF", true);
  std::printf("%-34s result %d, %d records  %8.1f ms  %6.1f us a workunit\n", what, App().ResultCode,
              installed ? installed->recCount() : -1, ms, ms * 1000.0 / units);
  App().ExitInstance();
  Application->ResetRun();
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  int units = argc > 1 ? std::atoi(argv[1]) : 1000;
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  Application->Initialize();
  char tmpl[] = "/tmp/bench_installer.XXXXXX";
  fs::path root = mkdtemp(tmpl);
  fs::create_directories(root / "c");
  setenv("QUILLET_DRIVES", ("C=" + (root / "c").string() + ";E=" + (root / "e").string()).c_str(), 1);
  ReloadDriveMap();
  fs::current_path(root / "c");

  Volume(root / "e", units, "2024010100000000", "2024010100000000");
  Run("into an empty installation", units);
  Volume(root / "e", units, "2024020100000000", "2024010100000000");
  Run("into a full one, all up to date", units);
  Volume(root / "e", units, "2024030100000000", "2024030100000000");
  Run("into a full one, all newer", units);

  fs::current_path("/");
  fs::remove_all(root);
  return 0;
}
