// The install run: products of the volume, the newer-volume test, module masks, the tree-path
// template, the comparison and recording of workunits, the calls of the install and merge
// libraries, and cancel. Every table is closed when the step that opened it ends.
#include "InstallRun.h"

#include "ErrLog.h"
#include "Forms.h"
#include "Helpers.h"
#include "HostPath.h"
#include "InstallDll.h"
#include "InstallerApp.h"
#include "InstallerDlg.h"
#include "SysUtils.h"
#include "Volume.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

namespace {

const char* const kModule = "InstallRun";

void Show(CInstallerDlg& dlg, const std::string& text) { dlg.SetStatusText(text); }

void ShowClose(CInstallerDlg& dlg, const std::string& text) {
  dlg.SetStatusText(text);
  dlg.btnCancel->SetCaption(Msg(msgCloseString));
}

// A failure that ends the run: its text and result, unless the run has already ended with
// another (a user's cancel stays a cancel).
void Fail(CInstallerDlg& dlg, int result, const std::string& text) {
  CInstallerApp& app = App();
  if (app.ResultCode == 0) {
    ShowClose(dlg, text);
    app.ResultCode = result;
  }
  app.StopRequested = 1;
  if (app.DebugMode) app.RunFinished = 1;
}
void Fail(CInstallerDlg& dlg, int result, MessageId text) { Fail(dlg, result, Msg(text)); }

MessageId TextOf(int result) {
  switch (result) {
    case kInstallNoProducts: return msgMissingProducts;
    case kInstallNoWorkunitList: return msgMissingWorkunitList;
    default: return msgMissingDest;
  }
}

// The text of a failed newer-volume test: a registry another program holds is named as such.
std::string NewerFailureText(int result, bool registryLocked, const std::string& registry) {
  return registryLocked ? FormatMessage(Msg(msgRegistryLockedTemplate), registry) : Msg(TextOf(result));
}

// Asks a question in the question dialog; without a display the question and the answer taken
// are printed on standard error, as a message box does.
bool Ask(CInstallerDlg& dlg, const std::string& question) {
  CQuestionDlg dialog(question, &dlg, Msg(msgYesString), Msg(msgNoString));
  const bool yes = dialog.DoModal() == mrYes;
  if (!Application->HasWindows()) std::fprintf(stderr, "%s [%s]\n", question.c_str(), yes ? "Yes" : "No");
  return yes;
}

bool g_runInProgress = false;
// The installed list while workunits are recorded into it, for a program ended during the run.
CDbIndexedTable* g_installedList = nullptr;

// Sets a run-state pointer or flag for a scope and clears it on every way out, exceptions included.
template <class T>
class ScopedSet {
 public:
  ScopedSet(T& place, T value) : place_(place) { place_ = value; }
  ~ScopedSet() { place_ = T(); }
  ScopedSet(const ScopedSet&) = delete;
  ScopedSet& operator=(const ScopedSet&) = delete;

 private:
  T& place_;
};

// The fields the run reads from each table, each as text (INSTCODE as a number's text too): a
// table without one of them, or with one of another type, is refused as damaged.
const FieldNeeds kProductFields = {"PRODUCT", "LANG", "DIRECTORY", "DESC", "SMASHDLL"};
const FieldNeeds kModuleFields = {"NAME", "WUIDMASK", "CODE", "TREEPARAM", {"MULTINST", "C", 1, true}};
const FieldNeeds kSourceListFields = {"UNITCODE", "VIEWTECH", "MARKET",  "LANGUAGE",
                                      "PRODDATE", "VOLUME",   "INSTDLL", {"INSTCODE", "CN"}};

// Opens a table of the volume: read-only, with the fields the run reads, and written whole.
void OpenVolumeTable(CDbTable& table, const std::string& path, const FieldNeeds& needs) {
  OpenReadOnly(table, path);
  table.Require(needs);
  table.RequireWhole();
}
void OpenVolumeTable(CDbIndexedTable& table, const std::string& path, const FieldNeeds& needs) {
  Session().ReadOnly = true;
  table.Open(path, nullptr, nullptr, &needs);
  Session().ReadOnly = false;
  table.RequireWhole();
}

void ShowIndexRebuilt(CInstallerDlg& dlg, const std::string& index) {
  Show(dlg, FormatMessage(Msg(msgIndexRebuiltTemplate), index));
}

// A folder name taken from a table that stays one folder inside its parent.
bool SafeFolderName(const std::string& name) {
  return name.find_first_of("\\/:") == std::string::npos && name.find("..") == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// strncmp: equal over the first n characters, a text's end counting as a character.
bool SameOver(const std::string& a, const std::string& b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char x = i < a.size() ? a[i] : '\0';
    char y = i < b.size() ? b[i] : '\0';
    if (x != y) return false;
    if (x == '\0') return true;
  }
  return true;
}

// The window an install library is given: the dialog behind the plain C view.
struct DlgWindow {
  QuilletWindow window;
  CInstallerDlg* dlg;

  explicit DlgWindow(CInstallerDlg& d) : dlg(&d) {
    window.size = sizeof(QuilletWindow);
    window.SendMessage = &DlgWindow::Send;
    window.ProcessMessages = &DlgWindow::Process;
  }
  static DlgWindow* Of(QuilletWindow* w) { return reinterpret_cast<DlgWindow*>(w); }
  static intptr_t Send(QuilletWindow* w, uint32_t msg, uintptr_t, intptr_t lParam) {
    if (w && msg == QUILLET_MSG_STATUS && lParam) Of(w)->dlg->SetStatusText(reinterpret_cast<const char*>(lParam));
    return 0;
  }
  static void Process(QuilletWindow* w) {
    if (w) PumpMessages(*Of(w)->dlg);
  }
};
static_assert(offsetof(DlgWindow, window) == 0);

// Positions the installed list on the first record of the unit in tag BYCODE: true when found.
bool SeekUnit(CDbIndexedTable& list, const std::string& unitCode) {
  list.SelectTag("BYCODE");
  if (list.Seek(unitCode) != 0) return false;
  // A partial match ("AB1" standing on "AB12") is another unit.
  return SameText(list.FieldByName("UNITCODE"), unitCode);
}

bool OnUnit(CDbIndexedTable& list, const std::string& unitCode) {
  return !list.Eof() && SameText(list.FieldByName("UNITCODE"), unitCode);
}

int SetFields(CDbIndexedTable& list, const std::string& viewTech, const std::string& market,
              const std::string& language, const std::string& prodDate, long instCode) {
  return list.AssignString("VIEWTECH", viewTech) | list.AssignString("MARKET", market) |
         list.AssignString("LANGUAGE", language) | list.AssignString("PRODDATE", prodDate) |
         list.AssignLong("INSTCODE", instCode);
}

// 0 when the record was appended, else non-zero.
int AppendWorkunit(CDbIndexedTable& list, const std::string& unitCode, const std::string& viewTech,
                   const std::string& market, const std::string& language, long instCode,
                   const std::string& prodDate, const std::string& volume) {
  int failed = list.AppendStart(true);
  failed |= list.AssignString("UNITCODE", unitCode);
  failed |= SetFields(list, viewTech, market, language, prodDate, instCode);
  failed |= list.AssignString("VOLUME", volume);
  failed |= list.Append();
  list.Top();
  return failed;
}

CInstallDll& Holder() {
  static CInstallDll dll;
  return dll;
}

// The installation's folder of the current product and language: B\data\P\LANG.
std::string InstallFolder(const std::string& lang) {
  CInstallerApp& app = App();
  return PathJoin(PathJoin(PathJoin(app.B, "data"), app.P.value_or("")), lang);
}

bool ProductMatches(CDbTable& products) {
  return App().P && SameText(products.FieldByName("PRODUCT"), *App().P);
}

// Takes the product's language; false (and a log record) when it would lead out of the tree.
bool TakeLanguage(CDbTable& products) {
  std::string lang = products.FieldByName("LANG");
  App().ProductLanguage = lang;
  if (SafeFolderName(lang) && SafeFolderName(App().P.value_or(""))) return true;
  CObjectError("NA", kModule, "", __LINE__, lang.c_str()).Write();
  return false;
}

void InstallWorkunits(CInstallerDlg& dlg, DlgWindow& window, CModuleList& modules, CDbIndexedTable& source,
                      CDbIndexedTable& installed) {
  CInstallerApp& app = App();
  for (source.Top(); !app.StopRequested && !source.Eof(); source.Skip(1)) {
    std::string unit = source.FieldByName("UNITCODE");
    std::string viewTech = source.FieldByName("VIEWTECH");
    std::string market = source.FieldByName("MARKET");
    std::string language = source.FieldByName("LANGUAGE");
    std::string prodDate = ShortProdDate(source.FieldByName("PRODDATE"));
    std::string volume = source.FieldByName("VOLUME");
    long instCode = ReadInstCode(source.FieldByName("INSTCODE"));

    const CModule* module = modules.FindModule(unit);
    if (!module) {
      Show(dlg, FormatMessage(Msg(msgNoModuleTemplate), unit));
    } else {
      int state = CompareWorkunit(installed, unit, prodDate, module->MultiInstall, volume);
      if (installed.Failure() != 0) {  // the installed list cannot be read: nothing could be recorded
        Fail(dlg, kInstallNoDestination, msgMissingDest);
        break;
      }
      if (state == 0) {
        Show(dlg, FormatMessage(Msg(msgOlderTemplate), unit));
      } else {
        Show(dlg, FormatMessage(Msg(state == 1 ? msgAddingTemplate : msgUpdatingTemplate), unit));
        std::string tree = ExpandTreePath(module->TreeParam, unit, viewTech, market, language, instCode);
        std::string dllName = source.FieldByName("INSTDLL");
        int rc = 0;
        if (!dllName.empty()) {
          Holder().Load(dllName);
          rc = Holder().Call(&window.window, unit, tree, viewTech, market, language, int32_t(instCode));
        }
        if (rc == 0) {
          if (WriteWorkunit(installed, unit, viewTech, market, language, instCode, prodDate, volume,
                            module->MultiInstall) != 0) {
            Fail(dlg, kInstallNoDestination, msgMissingDest);
            break;
          }
        } else if (app.ResultCode == kInstallCancelled) {
          // The library gave up because the user cancelled while it worked: the cancel stands.
        } else if (app.DebugMode) {
          if (!Ask(dlg, FormatMessage(Msg(msgWorkunitFailedTemplate), unit))) {
            app.StopRequested = 1;
            app.RunFinished = 1;
            app.ResultCode = kInstallDllFailed;
            ShowClose(dlg, Msg(msgInstallAborted));
          }
        } else {
          app.ResultCode = kInstallDllFailed;
          app.StopRequested = 1;
          ShowClose(dlg, Msg(msgInstallAborted));
        }
      }
    }
    PumpMessages(dlg);
  }
  // A workunit list that could not be read to its end leaves workunits out.
  if (source.Failure() != 0) Fail(dlg, kInstallNoWorkunitList, msgMissingWorkunitList);
}

void FirstPass(CInstallerDlg& dlg, DlgWindow& window, CDbTable& products) {
  CInstallerApp& app = App();
  for (products.Top(); !app.StopRequested && !products.Eof(); products.Skip(1)) {
    if (!ProductMatches(products) || !TakeLanguage(products)) continue;
    const std::string lang = *app.ProductLanguage;
    const std::string directory = products.FieldByName("DIRECTORY");
    const std::string folder = InstallFolder(lang);
    const std::string listPath = PathJoin(folder, "relwork");
    if (app.DebugMode) Show(dlg, "fixing lowercase workunits...");
    std::string rebuiltIndex;
    const int purge = PurgeLowercaseWorkunits(listPath, &rebuiltIndex);
    if (!rebuiltIndex.empty()) ShowIndexRebuilt(dlg, rebuiltIndex);
    if (purge != 0) {  // a clean-up that could not be made ends the run: records would stay wrong
      Fail(dlg, kInstallNoDestination, msgMissingDest);
      continue;
    }

    MakeDirs(folder);
    bool damaged = false, locked = false;
    const std::string registry = PathJoin(folder, "volume.dbf");
    const int newer = IsVolumeNewer(SourcePath(app.D, directory, "volume.dbf"), registry, &damaged, &locked);
    if (newer < 0) {
      Fail(dlg, newer, NewerFailureText(newer, locked, registry));
      continue;
    }
    if (newer == 0) continue;
    if (damaged) Show(dlg, FormatMessage(Msg(msgRegistryDamagedTemplate), registry));
    dlg.SetCaption(products.FieldByName("DESC"));
    PumpMessages(dlg);

    CModuleList modules;
    modules.Load(SourcePath(app.D, directory, ""));
    CDbIndexedTable source, installed;
    OpenVolumeTable(source, SourcePath(app.D, directory, "relwork"), kSourceListFields);
    if (source.IsOpen() && source.IndexRebuilt()) ShowIndexRebuilt(dlg, source.IndexName());
    MakeDirs(folder);
    installed.OpenOrCreate(listPath, InstalledListFields(), &InstalledListTags(), nullptr, &InstalledListNeeds());
    if (installed.IsOpen() && installed.IndexRebuilt()) ShowIndexRebuilt(dlg, installed.IndexName());
    if (!installed.IsOpen()) {
      Fail(dlg, kInstallNoDestination, msgMissingDest);
    } else if (!source.IsOpen()) {
      Fail(dlg, kInstallNoWorkunitList, msgMissingWorkunitList);
    } else if (!modules.Loaded()) {
      // Without its module table no workunit of the volume could be installed.
      Fail(dlg, kInstallNoWorkunitList, msgMissingModules);
    } else {
      ScopedSet<CDbIndexedTable*> recording(g_installedList, &installed);
      InstallWorkunits(dlg, window, modules, source, installed);
    }
    source.Close();
    // What waits to be written goes now: a failure means workunits were not recorded.
    if (installed.Close() != 0) Fail(dlg, kInstallNoDestination, msgMissingDest);
    modules.Free();
    PumpMessages(dlg);
  }
}

void MergePass(CInstallerDlg& dlg, DlgWindow& window, CDbTable& products) {
  CInstallerApp& app = App();
  for (products.Top(); !products.Eof(); products.Skip(1)) {
    if (app.StopRequested) break;
    if (!ProductMatches(products) || !TakeLanguage(products)) continue;
    const std::string directory = products.FieldByName("DIRECTORY");
    const std::string folder = InstallFolder(*app.ProductLanguage);
    MakeDirs(folder);
    const std::string S = SourcePath(app.D, directory, "volume.dbf");
    const std::string T = PathJoin(folder, "volume.dbf");
    bool locked = false;
    const int newer = IsVolumeNewer(S, T, nullptr, &locked);
    if (newer < 0) {
      Fail(dlg, newer, NewerFailureText(newer, locked, T));
      break;
    }
    if (newer == 0 || app.StopRequested || app.RunFinished) continue;
    dlg.SetCaption(Msg(msgMessageBoxTitle));
    Show(dlg, FormatMessage(Msg(msgSmashingTemplate), VolumeDescription()));
    std::string smash = products.FieldByName("SMASHDLL");
    if (smash.empty()) continue;  // a product without a merge library is not registered
    Holder().Load(smash);
    std::string unit, tree = SourcePath(app.D, directory, ""), viewTech, market, language;
    int rc = Holder().Call(&window.window, unit, tree, viewTech, market, language, 0);
    if (rc != 0 || app.StopRequested || app.RunFinished) continue;
    // What the run recorded is on the disk before the registry says the volume is installed: the
    // lists were flushed as they were closed, and the folders where names changed go now.
    if (FlushChangedFolders() != 0) {
      Fail(dlg, kInstallNoDestination, msgMissingDest);
      break;
    }
    if (RegisterVolume(S, T) < 0)
      Fail(dlg, kInstallNoDestination, FormatMessage(Msg(msgRegistryNotWrittenTemplate), T));
  }
}

// The settings file that the run needs (for the drive map, or for the texts of /L) and that is
// there but cannot be read: its name and why, "" when there is none.
std::string UnreadableSettings() {
  if (!App().IniProblem.empty()) return App().IniProblem;
  return DriveMapProblem();
}

void RunPasses(CInstallerDlg& dlg, DlgWindow& window, CDbTable& products) {
  CInstallerApp& app = App();
  if (const std::string problem = UnreadableSettings(); !problem.empty()) {
    // Without its drive map or texts the run would look for the volume in the wrong place.
    Fail(dlg, kInstallNoProducts, FormatMessage(Msg(msgIniUnreadableTemplate), problem));
    return;
  }
  OpenVolumeTable(products, SourcePath(app.D, "\\quillet\\", "products"), kProductFields);
  if (!products.IsOpen()) {
    ShowClose(dlg, Msg(msgMissingProducts));
    app.ResultCode = kInstallNoProducts;
    app.StopRequested = 1;
    if (app.DebugMode) {
      dlg.btnCancel->SetCaption(Msg(msgCloseString));
      app.RunFinished = 1;
    }
    return;
  }
  FirstPass(dlg, window, products);
  if (!app.RunFinished && !app.StopRequested) MergePass(dlg, window, products);
  // A run that ends 0 has every name it made or removed on the disk.
  if (!app.StopRequested && FlushChangedFolders() != 0) Fail(dlg, kInstallNoDestination, msgMissingDest);
  // A products table that could not be read to its end leaves products out.
  if (products.Failure() != 0) Fail(dlg, kInstallNoProducts, msgMissingProducts);
}

// An exception left the run before its end (no memory, an unreadable file, a library's): the run
// ends as aborted, never as done, with what stopped it on the status line.
void StoppedByError(CInstallerDlg& dlg, const char* what) noexcept {
  CInstallerApp& app = App();
  if (app.ResultCode == 0) app.ResultCode = kInstallDllFailed;
  app.StopRequested = 1;
  if (app.DebugMode) app.RunFinished = 1;
  try {
    ShowClose(dlg, FormatMessage(Msg(msgRunErrorTemplate), what));
  } catch (...) {
    std::fprintf(stderr, "Quillet: the install stopped on an error: %s\n", what);
  }
}

}  // namespace

// ---- modules ----

bool HasField(const CDbTable& table, const std::string& name) {
  return table.Table() && table.Table()->fieldIndex(name) >= 0;
}

void CModuleList::Load(const std::string& folder) {
  Free();
  CDbTable table;
  OpenVolumeTable(table, PathJoin(folder, "module"), kModuleFields);
  if (!table.IsOpen()) return;
  loaded_ = true;
  const bool multi = HasField(table, "MULTINST");
  for (table.Top(); !table.Eof(); table.Skip(1)) {
    auto m = std::make_unique<CModule>();
    m->Name = table.FieldByName("NAME");
    m->WuidMask = table.FieldByName("WUIDMASK");
    m->Code = table.FieldByName("CODE");
    m->TreeParam = table.FieldByName("TREEPARAM");
    if (multi) {
      std::string flag = table.FieldByName("MULTINST");
      m->MultiInstall = !flag.empty() && (flag[0] == 'y' || flag[0] == 'Y');
    }
    modules_.push_back(std::move(m));
  }
}

const CModule* CModuleList::FindModule(const std::string& unitCode) const {
  if (!loaded_) return nullptr;
  std::string code = unitCode.substr(0, unitCode.find('.'));
  for (const auto& m : modules_) {
    const std::string& mask = m->WuidMask;
    size_t n = mask.find('*');
    if (n == std::string::npos) n = mask.find('?');
    if (n == std::string::npos) n = 8;
    if (SameOver(mask, code, n)) return m.get();
  }
  return nullptr;
}

// ---- tree path ----

std::string ExpandTreePath(const std::string& treeParam, const std::string& unitCode, const std::string& viewTech,
                           const std::string& market, const std::string& language, long instCode) {
  const std::string tmpl = UpperText(treeParam);
  std::string out;
  size_t start = 0;
  while (start < tmpl.size()) {
    size_t end = tmpl.find('\\', start);
    if (end == std::string::npos) end = tmpl.size();
    const std::string part = tmpl.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;  // separators in a row make no empty component
    out += '\\';
    for (size_t i = 0; i < part.size(); ++i) {
      char c = part[i];
      if (c != '%' || i + 1 >= part.size()) {
        if (c != '%') out += c;
        continue;
      }
      char k = part[++i];
      if (k >= '1' && k <= '9') {
        // %dXn: n characters of the unit code from its d-th; X is any one character.
        if (i + 2 >= part.size()) break;
        char n = part[i + 2];
        i += 2;
        if (n < '0' || n > '9') continue;
        size_t from = size_t(k - '1');
        if (from < unitCode.size()) out += unitCode.substr(from, size_t(n - '0'));
      } else if (k == 'I') {
        out += std::to_string(instCode);
      } else if (k == 'L') {
        out += language;
      } else if (k == 'M') {
        out += market;
      } else if (k == 'V') {
        out += viewTech;
      } else {
        out += k;
      }
    }
  }
  out += '\\';
  return out;
}

// ---- the installed workunit list ----

const FieldList& InstalledListFields() {
  static const FieldList fields = {
      {"INSTCODE", 'C', 3, 0}, {"UNITCODE", 'C', 8, 0},  {"VIEWTECH", 'C', 2, 0}, {"MARKET", 'C', 2, 0},
      {"LANGUAGE", 'C', 2, 0}, {"PRODDATE", 'C', 16, 0}, {"VOLUME", 'C', 12, 0},
  };
  return fields;
}

const FieldNeeds& InstalledListNeeds() {
  static const FieldNeeds needs = [] {
    FieldNeeds n;
    for (const auto& f : InstalledListFields()) n.emplace_back(f.name, std::string(1, f.type), f.len);
    return n;
  }();
  return needs;
}

const TagList& InstalledListTags() {
  static const TagList tags = {
      {"BYCODE", "UNITCODE", "UNITCODE > '!'", 0, 0},
      {"BYCODEDATE", "UNITCODE-PRODDATE", "UNITCODE > '!'", 25, 0},
  };
  return tags;
}

int CompareWorkunit(CDbIndexedTable& installed, const std::string& unitCode, const std::string& prodDate,
                    bool multiInstall, const std::string& volume) {
  if (!SeekUnit(installed, unitCode)) return 1;
  if (!multiInstall) {
    const std::string date = installed.FieldByName("PRODDATE");
    int cmp = prodDate.compare(date);
    if (cmp > 0) return 2;
    if (cmp < 0) return 0;
    return SameText(volume, installed.FieldByName("VOLUME")) ? 0 : 2;
  }
  bool sameVolume = false, sameEarlier = false, otherEarlier = false;
  for (; OnUnit(installed, unitCode); installed.Skip(1)) {
    const bool same = SameText(volume, installed.FieldByName("VOLUME"));
    const bool earlier = CompareNoCase(installed.FieldByName("PRODDATE"), prodDate) < 0;
    sameVolume = sameVolume || same;
    if (same && earlier) sameEarlier = true;
    if (!same && earlier) otherEarlier = true;
  }
  if (!sameVolume) return 1;
  return (sameEarlier || otherEarlier) ? 2 : 0;
}

int WriteWorkunit(CDbIndexedTable& installed, const std::string& unitCode, const std::string& viewTech,
                  const std::string& market, const std::string& language, long instCode,
                  const std::string& prodDate, const std::string& volume, bool multiInstall) {
  // Every assignment, append and move reports here: a record not written is a workunit lost.
  int failed = 0;
  auto result = [&] { return failed != 0 || installed.Failure() != 0 ? 1 : 0; };
  if (!SeekUnit(installed, unitCode)) {
    failed |= AppendWorkunit(installed, unitCode, viewTech, market, language, instCode, prodDate, volume);
    return result();
  }
  if (!multiInstall) {
    for (; OnUnit(installed, unitCode); installed.Skip(1)) {
      failed |= SetFields(installed, viewTech, market, language, prodDate, instCode);
      failed |= installed.AssignString("VOLUME", volume);
    }
    return result();
  }
  // First sweep: is the volume there, and is another volume's copy not later than the source?
  bool sameVolume = false, otherNotLater = false;
  for (; OnUnit(installed, unitCode); installed.Skip(1)) {
    const bool same = SameText(volume, installed.FieldByName("VOLUME"));
    sameVolume = sameVolume || same;
    if (!same && CompareNoCase(installed.FieldByName("PRODDATE"), prodDate) <= 0) otherNotLater = true;
  }
  if (!sameVolume && otherNotLater)
    failed |= AppendWorkunit(installed, unitCode, viewTech, market, language, instCode, prodDate, volume);

  // Second sweep: bring older copies (and the same volume's copy) up to the source.
  if (SeekUnit(installed, unitCode)) {
    for (; OnUnit(installed, unitCode); installed.Skip(1)) {
      const std::string date = installed.FieldByName("PRODDATE");
      const bool same = SameText(volume, installed.FieldByName("VOLUME"));
      const int cmp = CompareNoCase(prodDate, date);
      if ((same && cmp >= 0) || cmp > 0) {
        failed |= SetFields(installed, viewTech, market, language, prodDate, instCode);
        if (cmp > 0) failed |= installed.AssignString("VOLUME", volume);
      }
    }
  }

  // Third sweep: one record per volume; the later duplicates are blanked, which takes them out
  // of both tags. They are blanked after the walk, so the walk never loses its place.
  std::vector<std::string> seen;
  std::vector<int> duplicates;
  if (SeekUnit(installed, unitCode)) {
    for (; OnUnit(installed, unitCode); installed.Skip(1)) {
      const std::string v = installed.FieldByName("VOLUME");
      bool dup = false;
      for (const auto& s : seen) dup = dup || SameText(s, v);
      if (dup)
        duplicates.push_back(installed.Table()->recNo());
      else
        seen.push_back(v);
    }
  }
  for (int rec : duplicates) {
    failed |= installed.Go(rec);
    installed.Blank();
  }
  return result();
}

int PurgeLowercaseWorkunits(const std::string& listPath, std::string* rebuiltIndex) {
  CDbIndexedTable list;
  // With the list's tags: an index that disagrees with the records is built again before it
  // says which records to remove.
  list.Open(listPath, &InstalledListTags(), nullptr, &InstalledListNeeds());
  if (!list.IsOpen()) {
    // No list yet is a first installation; a list that is there and does not open is not clean.
    std::string host = HostPath(list.FileName());
    return FileExists(host) ? 1 : 0;
  }
  if (rebuiltIndex && list.IndexRebuilt()) *rebuiltIndex = list.IndexName();
  bool marked = false;
  list.SelectTag("BYCODE");
  if (list.Seek("a") == 0) {
    while (!App().StopRequested && !list.Eof()) {
      list.Delete(false);
      marked = true;
      list.Skip(1);
    }
  }
  if (!marked) return list.Close() != 0 ? 1 : 0;
  int failed = list.Pack();
  const std::string index = HostPath(list.IndexName());
  failed |= list.Close();  // closed first: a table closed after the delete would write its index again
  std::error_code ec;
  if (!index.empty() && std::filesystem::remove(index, ec))
    NoteFolderChanged(std::filesystem::path(index).parent_path().string());
  return failed != 0 ? 1 : 0;
}

long ReadInstCode(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) value = INT32_MAX + 1LL;  // held at the edge; the sign decides below
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return long(value);
}

// ---- the run ----

void PumpMessages(CInstallerDlg&) {
  if (!App().StopRequested) Application->ProcessMessages();
}

bool RunInProgress() { return g_runInProgress; }

void PrepareRunState() {
  ErrorLog();
  Holder();
}

void CloseRunTables() {
  if (g_installedList) g_installedList->Close();
  g_installedList = nullptr;
}

void RunInstall(CInstallerDlg& dlg) {
  CInstallerApp& app = App();
  ScopedSet<bool> inProgress(g_runInProgress, true);
  DlgWindow window(dlg);
  CenterWindow(dlg);
  Show(dlg, Msg(msgStartingInstall));
  Holder().Clear();
  CDbIndexedTable::ForgetChecks();  // each index is checked at its first open in this run

  CDbTable products;
  try {
    RunPasses(dlg, window, products);
  } catch (const std::exception& e) {
    StoppedByError(dlg, e.what());
  } catch (...) {
    StoppedByError(dlg, "unknown");
  }

  app.RunFinished = 1;
  g_runInProgress = false;
  if (!app.StopRequested) ShowClose(dlg, Msg(msgInstallSuccess));
  dlg.btnCancel->SetEnabled(true);
  products.Close();
  Holder().Unload();
  if (!app.DebugMode) dlg.OnCancel();
}

void CancelInstall(CInstallerDlg& dlg) {
  CInstallerApp& app = App();
  if (app.RunFinished) {
    dlg.SetModalResult(mrCancel);
    return;
  }
  bool yes = app.ResultCode != 0;
  if (app.ResultCode == 0) yes = Ask(dlg, Msg(msgReallyCancel));
  if (!yes) return;
  if (app.StopRequested || app.ResultCode != 0) {
    dlg.SetModalResult(mrCancel);
    return;
  }
  app.ResultCode = kInstallCancelled;
  if (!app.DebugMode) {
    CancelWord = 1;
    app.StopRequested = 1;
    dlg.SetModalResult(mrCancel);
    return;
  }
  ShowClose(dlg, Msg(msgInstallAborted));
  dlg.btnCancel->SetEnabled(false);
  CancelWord = 1;
  app.StopRequested = 1;
}
