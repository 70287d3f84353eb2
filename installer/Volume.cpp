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

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// The bytes of a file at a host path: false when it cannot be read whole.
bool ReadWhole(const std::string& host, std::string& out) {
  out.clear();
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    out.append(buffer, size_t(n));
  }
  ::close(fd);
  return n == 0;
}

// Whether T must take S's structure: S has more fields, or a longer field i than T's field i.
bool UpgradeNeeded(CDbTable& s, CDbTable& t) {
  if (s.FieldCount() > t.FieldCount()) return true;
  const int common = std::min(s.FieldCount(), t.FieldCount());
  for (int i = 1; i <= common; ++i) {
    int sl = 0, tl = 0;
    s.FieldInfo(i, nullptr, &sl, nullptr);
    t.FieldInfo(i, nullptr, &tl, nullptr);
    if (sl > tl) return true;
  }
  return false;
}

// Appends every record of T to N, each field by its name (one N lacks is left out, reported to
// the log, and the record appended all the same): false when T could not be read or N written.
bool CopyRecords(CDbTable& t, CDbTable& n) {
  bool appended = true;
  for (t.Top(); !t.Eof(); t.Skip(1)) {
    appended = n.AppendStart(true) == 0 && appended;
    for (int j = 1; j <= t.FieldCount(); ++j) {
      std::string name;
      if (t.FieldInfo(j, &name, nullptr, nullptr) == 0) n.AssignString(name, t.FieldByNumber(j));
    }
    appended = n.Append() == 0 && appended;
  }
  return appended && t.Failure() == 0;
}

// Writes S's record into N: over the record of the same LOGICALID (any case), else appended.
void MergeRecord(CDbTable& s, CDbTable& n) {
  const bool found = FindLogicalId(n, s.FieldByName("LOGICALID"));
  if (found)
    VolumeDescription() = s.FieldByName("HR_DESC");
  else
    n.AppendStart(true);
  n.AssignString("LOGICALID", s.FieldByName("LOGICALID"));
  std::string label = s.FieldByName("LABEL");
  if (label.empty() && App().D && !App().D->empty()) label = GetVolumeLabel((*App().D)[0]);
  n.AssignString("LABEL", label);
  n.AssignString("HR_DESC", s.FieldByName("HR_DESC"));
  n.AssignString("PRODDATE", ShortProdDate(s.FieldByName("PRODDATE")));
  n.AssignString("LANRES", s.FieldByName("LANRES"));
  if (!found) n.Append();
  n.Top();
}

// Brings S's index over to the registry being built in N: S's index file (S with ".CDX") is
// copied over T's, then built again from N's records. False when either fails.
bool TakeSourceIndex(const std::string& S, const std::string& T, CDbTable& n) {
  const std::string sIndex = WithExtension(S, ".CDX");
  if (!FileExists(HostPath(sIndex))) return true;
  const std::string tIndex = WithExtension(T, ".CDX");
  // A differently cased old index would stay beside the copy: it goes first (the copy's rename
  // then flushes the folder).
  std::error_code ec;
  if (std::string old = HostPath(tIndex); !old.empty()) std::filesystem::remove(old, ec);
  if (CopyFileEx(sIndex, tIndex, true) != 0) return false;
  const std::string host = HostPath(tIndex);
  tables::Table* table = n.Table();
  return !host.empty() && table && table->openIndex(host) == tables::kOk && table->index()->reindex() == tables::kOk;
}

enum RegistryWrite {
  kFromSource,   // T anew from a copy of S, with S's record merged
  kMerge,        // T's records (in S's structure when it has more or longer fields), S's merged
  kUpgradeOnly,  // T's records in S's structure, when it has more or longer fields
};

// Writes the installed registry T anew in one replacement that takes T's place only when every
// write, the flush to the disk, the close and the rename succeeded; T is held open (and locked)
// meanwhile. A rename whose folder then cannot be flushed puts the old registry back: a
// registration reported as failed leaves T as it was. 0, or kInstallNoDestination.
int WriteRegistry(const std::string& S, const std::string& T, RegistryWrite how) {
  const std::string sHost = HostPath(S), tHost = HostPath(T);
  CDbTable s, t;
  OpenReadOnly(s, S);
  if (how != kUpgradeOnly) {
    // The record merged is read whole from a volume registry that has every field.
    s.Require(kSourceFields);
    s.RequireWhole();
  }
  if (how != kFromSource) {
    t.Open(T);
    if (how == kMerge) t.Require(kInstalledFields);
  }
  if (how == kUpgradeOnly && (!s.IsOpen() || !t.IsOpen())) return 0;  // nothing to bring over
  if (sHost.empty() || tHost.empty() || !s.IsOpen() || (how != kFromSource && !t.IsOpen()))
    return kInstallNoDestination;
  if (how != kUpgradeOnly && s.Top() != 0) return kInstallNoDestination;  // no record to merge
  const bool upgrade = how != kFromSource && UpgradeNeeded(s, t);
  if (how == kUpgradeOnly && !upgrade) return 0;

  // T as it was, to put back; a T that cannot be read is left alone.
  std::string previous;
  const bool existed = FileExists(tHost);
  if (existed && !ReadWhole(tHost, previous)) return kInstallNoDestination;

  // What an earlier run ended (killed) while registering left beside T goes first; the run holds
  // the workunit list, so no other installer is registering into this folder.
  RemoveUnfinishedReplacements(tHost);
  ReplacementFile replacement(tHost, 0644);
  const bool copied = how == kFromSource || upgrade ? CopyFileInto(sHost, replacement) == 0
                                                    : replacement.Write(previous.data(), previous.size());
  if (!copied) return kInstallNoDestination;
  bool whole;
  {
    CDbTable n;
    n.OpenIn(replacement);
    if (how != kUpgradeOnly) n.Require(kInstalledFields);
    whole = n.IsOpen();
    if (whole && upgrade) whole = n.ZapAll() == 0 && CopyRecords(t, n) && TakeSourceIndex(S, T, n);
    if (whole && how != kUpgradeOnly) MergeRecord(s, n);
    whole = n.Close() == 0 && whole;
  }
  if (!whole) return kInstallNoDestination;
  if (replacement.Finish(true) == 0) return 0;
  if (replacement.renamed()) {
    // In place, but not known to be on the disk: the old registry goes back.
    if (existed)
      ReplaceFileWith(tHost, previous, 0644);
    else
      ::unlink(tHost.c_str());
  }
  return kInstallNoDestination;
}

}  // namespace

std::string& VolumeDescription() {
  static auto& text = *new std::string;  // never destroyed: see PrepareRunState
  return text;
}

std::string ShortProdDate(const std::string& date) { return date.size() == 18 ? date.substr(2) : date; }

int IsVolumeNewer(const std::string& S, const std::string& T, bool* installedDamaged, bool* installedLocked) {
  if (installedDamaged) *installedDamaged = false;
  if (installedLocked) *installedLocked = false;
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
    if (t.OpenError() == tables::kErrLocked && installedLocked) *installedLocked = true;
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
  // A registry that is missing or damaged starts as a copy of the volume's.
  const bool fromSource = !FileExists(HostPath(T)) || Damaged(T);
  return WriteRegistry(S, T, fromSource ? kFromSource : kMerge);
}

int MergeVolume(const std::string& S, const std::string& T) { return WriteRegistry(S, T, kMerge); }

int UpgradeVolumeStructure(const std::string& T, const std::string& S) {
  return WriteRegistry(S, T, kUpgradeOnly);
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
