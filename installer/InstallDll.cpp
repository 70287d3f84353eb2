// Install libraries: looked up by name in dll32/ beside the program, opened with dlopen, held one
// at a time, and called with the install block.
#include "InstallDll.h"

#include "Files.h"
#include "Helpers.h"
#include "InstallerApp.h"
#include "SysUtils.h"

#include <dirent.h>
#include <dlfcn.h>

#include <cstring>
#include <optional>

namespace {

void Lower(char* s) {
  if (s) LowerCase(s).copy(s, std::strlen(s));
}

void Upper(char* s) {
  if (s) UpperCase(s).copy(s, std::strlen(s));
}

char* Slot(std::optional<std::string>& option) { return option ? option->data() : nullptr; }

// A stored name that could name a file outside dll32.
bool SafeName(const std::string& name) {
  if (name.empty() || name.find_first_of("/\\:") != std::string::npos) return false;
  if (name.find("..") != std::string::npos) return false;
  return name.find('\0') == std::string::npos;
}

// The file of `fileName` in `folder` whatever its letter case (an exact match first); "" when none.
std::string FindInFolder(const std::string& folder, const std::string& fileName) {
  std::string exact = folder + fileName;
  if (FileExistsNoCase(exact) && FindFileNoCase(exact) == exact) return exact;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return "";
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (SameText(e->d_name, fileName)) {
      found = folder + e->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::string CInstallDll::Folder() { return ProgramFolder() + "dll32/"; }

void CInstallDll::Load(const std::string& name) {
  if (entry_ && !name_.empty() && !SameText(name_, name)) Unload();
  if (entry_) return;
  if (!SafeName(name)) return;
  std::string path = FindInFolder(Folder(), name + ".so");
  if (path.empty()) return;
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return;
  ++loads_;
  void* entry = ::dlsym(library, "Install");
  if (!entry) {
    ::dlclose(library);
    return;
  }
  library_ = library;
  entry_ = reinterpret_cast<QuilletInstallFn>(entry);
  name_ = name;
}

int16_t CInstallDll::Call(QuilletWindow* window, std::string& unitCode, std::string& treePath,
                          std::string& viewTech, std::string& market, std::string& language, int32_t code) {
  if (!entry_) return -1;
  CInstallerApp& app = App();
  uintptr_t block[QUILLET_SLOT_COUNT];
  char* texts[11] = {Slot(app.P),       Slot(app.B),        Slot(app.I),      Slot(app.E),
                     Slot(app.D),       unitCode.data(),    treePath.data(),  viewTech.data(),
                     market.data(),     language.data(),    Slot(app.ProductLanguage)};
  for (int i = 0; i < 11; ++i) {
    Lower(texts[i]);
    block[i] = reinterpret_cast<uintptr_t>(texts[i]);
  }
  block[QUILLET_SLOT_CANCEL] = reinterpret_cast<uintptr_t>(&CancelWord);
  block[QUILLET_SLOT_DEBUG] = app.DebugMode ? 1 : 0;
  int16_t rc = entry_(window, code, block);
  for (char* t : texts) Upper(t);
  return rc;
}

void CInstallDll::Unload() {
  if (library_) ::dlclose(library_);
  library_ = nullptr;
  entry_ = nullptr;
}

void CInstallDll::Clear() {
  Unload();
  name_.clear();
}
