// The volume registry: the newer-volume test, the registration of a merged volume and the
// upgrade of the installed registry's structure to that of a newer volume.
#include "Volume.h"

#include "DB.h"
#include "Db1.h"
#include "Files.h"
#include "Helpers.h"
#include "HostPath.h"
#include "InstallerApp.h"
#include "SysUtils.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// The fields of a volume's registry, all read as text: a registry without one of them, or with
// one of another type, counts as damaged.
const FieldNeeds kSourceFields = {"LOGICALID", "HR_DESC", "PRODDATE", "LABEL", "LANRES"};
// The installation's registry is matched and dated by LOGICALID and PRODDATE; the other fields
// are written when it has them, as text.
const FieldNeeds kInstalledFields = {"LOGICALID", "PRODDATE", {"HR_DESC", "C", 1, true}, {"LABEL", "C", 1, true},
                                     {"LANRES", "C", 1, true}};

// Opens the volume's registry read-only; one that is damaged, not written whole or lacks a
// field the run reads is refused.
void OpenSource(CDbTable& s, const std::string& windowsPath) {
  OpenReadOnly(s, windowsPath);
  s.Require(kSourceFields);
  s.RequireWhole();
}

// Opens the installation's registry (read-only when asked), refused when damaged.
void OpenInstalled(CDbTable& t, const std::string& windowsPath, bool readOnly) {
  if (readOnly)
    OpenReadOnly(t, windowsPath);
  else
    t.Open(windowsPath);
  t.Require(kInstalledFields);
}

// A file that is there but is not a table (the library finds its structure damaged).
bool Damaged(const std::string& windowsPath) {
  CDbTable t;
  OpenInstalled(t, windowsPath, true);
  return !t.IsOpen() && t.OpenError() == tables::kErrData;
}

// The record of T whose LOGICALID equals `id` (any case), searched from the first: true when
// T stands on it.
bool FindLogicalId(CDbTable& t, const std::string& id) {
  for (t.Top(); !t.Eof(); t.Skip(1))
    if (SameText(t.FieldByName("LOGICALID"), id)) return true;
  return false;
}

// The path with the extension from its last "." of the file name on replaced (or added).
std::string WithExtension(const std::string& path, const std::string& ext) {
  size_t sep = path.find_last_of("\\/:");
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + ext;
  return path.substr(0, dot) + ext;
}

void MakeNormal(const std::string& windowsPath) {
  std::error_code ec;
  std::filesystem::permissions(HostPath(windowsPath),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                               ec);
}

}  // namespace

std::string& VolumeDescription() {
  static auto& text = *new std::string;  // never destroyed: see PrepareRunState
  return text;
}

std::string ShortProdDate(const std::string& date) { return date.size() == 18 ? date.substr(2) : date; }

int IsVolumeNewer(const std::string& S, const std::string& T, bool* installedDamaged) {
  if (installedDamaged) *installedDamaged = false;
  VolumeDescription().clear();
  const bool sExists = FileExists(HostPath(S));
  if (sExists) {
    CDbTable s;
    OpenSource(s, S);
    // A volume whose registry does not open, or holds no record, is refused: installing it could
    // never be recorded, and a copy of the table would stand in the way of every later volume.
    if (!s.IsOpen() || s.Top() != 0) return kInstallNoProducts;
    VolumeDescription() = s.FieldByName("HR_DESC");
  }
  if (!sExists || !FileExists(HostPath(T))) return 1;
  CDbTable s, t;
  OpenSource(s, S);
  OpenInstalled(t, T, false);
  if (!s.IsOpen() || s.Top() != 0) return kInstallNoProducts;
  VolumeDescription() = s.FieldByName("HR_DESC");
  if (!t.IsOpen()) {
    // Read-only or locked: nothing can be recorded. Damaged: this volume replaces it.
    if (t.OpenError() != tables::kErrData) return kInstallNoDestination;
    if (installedDamaged) *installedDamaged = true;
    return 1;
  }
  if (!FindLogicalId(t, s.FieldByName("LOGICALID"))) return 1;
  std::string installed = ShortProdDate(t.FieldByName("PRODDATE"));
  if (installed.empty()) return 1;
  std::string source = ShortProdDate(s.FieldByName("PRODDATE"));
  return CompareNoCase(source, installed) > 0 ? 1 : 0;
}

int RegisterVolume(const std::string& S, const std::string& T) {
  VolumeDescription().clear();
  if (!FileExists(HostPath(S))) return 1;
  if (!FileExists(HostPath(T)) || Damaged(T)) {
    if (CopyFileEx(S, T, true) != 0) return kInstallNoDestination;
    MakeNormal(T);
  }
  return MergeVolume(S, T);
}

int MergeVolume(const std::string& S, const std::string& T) {
  if (UpgradeVolumeStructure(T, S) != 0) return kInstallNoDestination;
  CDbTable s, t;
  OpenSource(s, S);
  // Every field written is checked before the first is: a registry that could take only part of
  // the record keeps its old one (a volume half registered would count as installed).
  OpenInstalled(t, T, false);
  if (!s.IsOpen() || !t.IsOpen()) return kInstallNoDestination;  // nothing is written into a table that did not open
  if (s.Top() != 0) return kInstallNoDestination;                // nor a record the volume does not have
  bool found = FindLogicalId(t, s.FieldByName("LOGICALID"));
  if (found) {
    VolumeDescription() = s.FieldByName("HR_DESC");
  } else {
    t.AppendStart(true);
  }
  t.AssignString("LOGICALID", s.FieldByName("LOGICALID"));
  std::string label = s.FieldByName("LABEL");
  if (label.empty() && App().D && !App().D->empty()) label = GetVolumeLabel((*App().D)[0]);
  t.AssignString("LABEL", label);
  t.AssignString("HR_DESC", s.FieldByName("HR_DESC"));
  t.AssignString("PRODDATE", ShortProdDate(s.FieldByName("PRODDATE")));
  t.AssignString("LANRES", s.FieldByName("LANRES"));
  if (!found) t.Append();
  t.Top();
  return t.Close() == 0 ? 0 : kInstallNoDestination;
}

int UpgradeVolumeStructure(const std::string& T, const std::string& S) {
  bool needed = false;
  {
    CDbTable t, s;
    t.Open(T);
    OpenReadOnly(s, S);
    if (t.IsOpen() && s.IsOpen()) {
      if (s.FieldCount() > t.FieldCount()) needed = true;
      // Field i of both, as far as both have it.
      int common = std::min(s.FieldCount(), t.FieldCount());
      for (int i = 1; i <= common && !needed; ++i) {
        int sl = 0, tl = 0;
        s.FieldInfo(i, nullptr, &sl, nullptr);
        t.FieldInfo(i, nullptr, &tl, nullptr);
        if (sl > tl) needed = true;
      }
    }
  }
  if (!needed) return 0;

  // The new registry is made under a fresh name beside T (never a fixed one, which a leftover
  // link or folder could take), filled, and put in T's place in one flushed rename, while T is
  // held open (and locked) from before the new file is made until it is in place.
  const size_t sep = T.find_last_of("\\/:");
  const size_t nameAt = sep == std::string::npos ? 0 : sep + 1;
  if (nameAt >= T.size()) return 0;
  const std::string tHost = HostPath(T);
  CDbTable t;
  t.Open(T);
  if (tHost.empty() || !t.IsOpen()) return kInstallNoDestination;
  ReplacementFile replacement(tHost, 0644);
  if (CopyFileInto(HostPath(S), replacement) != 0) return kInstallNoDestination;
  const std::string N = T.substr(0, nameAt) + replacement.path().substr(replacement.path().find_last_of('/') + 1);
  std::error_code ec;

  bool indexCopied = false;
  const std::string sIndex = WithExtension(S, ".CDX");
  if (FileExists(HostPath(sIndex))) {
    const std::string tIndex = WithExtension(T, ".CDX");
    // A differently cased old index would stay beside the copy: it goes first.
    std::string oldHost = HostPath(tIndex);
    if (!oldHost.empty()) std::filesystem::remove(oldHost, ec);
    CopyFileEx(sIndex, tIndex, true);
    MakeNormal(tIndex);
    indexCopied = true;
  }

  bool whole = false;
  {
    CDbTable n;
    n.Open(N);
    if (n.IsOpen()) {
      n.ZapAll();
      for (t.Top(); !t.Eof(); t.Skip(1)) {
        n.AppendStart(true);
        for (int j = 1; j <= t.FieldCount(); ++j) {
          std::string name;
          if (t.FieldInfo(j, &name, nullptr, nullptr) == 0) n.AssignString(name, t.FieldByNumber(j));
        }
        n.Append();
      }
      whole = t.Failure() == 0;
    }
    whole = n.Close() == 0 && whole;
  }
  // The new table replaces the old one in one step, and only when it holds every record: a
  // stop or a failure in between leaves the old one (and the new file goes).
  if (!whole || replacement.Commit() != 0) return kInstallNoDestination;
  t.Close();

  if (indexCopied) {
    CDbIndexedTable indexed;
    indexed.Open(T);
    if (indexed.IsOpen()) indexed.Reindex();
  }
  return 0;
}

std::string GetVolumeLabel(char drive) {
  std::string label = DriveLabel(drive);
  if (label.empty()) {
    std::string root = DriveRoot(std::string(1, drive));
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!root.empty()) label = std::filesystem::path(root).filename().string();
  }
  if (label.size() > 128) label.resize(128);
  size_t dot = label.find('.');
  if (dot != std::string::npos) label.erase(dot, 1);
  return label;
}
