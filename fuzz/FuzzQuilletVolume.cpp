// Fuzz target of a volume's tables as the installer reads them: the input is split at its first
// byte's position into a volume registry and a module table, written onto a mapped drive, then
// the newer-volume test, the registration into an installed registry, the module list and the
// module masks run over them.
#include "ErrLog.h"
#include "HostPath.h"
#include "InstallRun.h"
#include "InstallerApp.h"
#include "Volume.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_quillet_volume.XXXXXX";
    std::string d = mkdtemp(tmpl);
    std::filesystem::create_directories(d + "/e/REL");
    std::filesystem::create_directories(d + "/c/INST");
    setenv("QUILLET_DRIVES", ("C=" + d + "/c;E=" + d + "/e").c_str(), 1);
    ReloadDriveMap();
    ErrorLog().SetLevel(0);  // as the installer runs: table faults show only through results
    return d;
  }();
  if (size < 1) return 0;
  std::size_t split = 1 + (size - 1) * data[0] / 256;
  WriteFile(dir + "/e/REL/volume.dbf", data + 1, split - 1);
  WriteFile(dir + "/e/REL/module.dbf", data + split, size - split);
  std::error_code ec;
  std::filesystem::remove(dir + "/c/INST/volume.dbf", ec);
  std::filesystem::remove(dir + "/c/INST/VOLUME.CDX", ec);

  const std::string S = "E:\\REL\\volume.dbf", T = "C:\\INST\\volume.dbf";
  if (!App().D) App().D.emplace(1, 'E');
  IsVolumeNewer(S, T);
  RegisterVolume(S, T);  // a copy of the source, merged into
  RegisterVolume(S, T);  // and merged again into what the first left
  IsVolumeNewer(S, T);

  CModuleList modules;
  modules.Load("E:\\REL\\");
  for (const auto& m : modules.Modules()) {
    modules.FindModule(m->WuidMask);
    ExpandTreePath(m->TreeParam, m->WuidMask, "", "", "", 0);
  }
  modules.FindModule("");
  return 0;
}
