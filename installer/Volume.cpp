// The volume registry: the newer-volume test, the registration of a merged volume and the
// upgrade of the installed registry's structure to that of a newer volume.
#include "Volume.h"

#include "DB.h"
#include "Db1.h"
#include "Helpers.h"
#include "HostPath.h"
#include "InstallerApp.h"
#include "SysUtils.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

bool Exists(const std::string& windowsPath) {
  std::string host = HostPath(windowsPath);
  struct stat st{};
  return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Opens a table read-only (the session's read-only flag around the open).
void OpenReadOnly(CDbTable& table, const std::string& path) {
  Session().ReadOnly = true;
  table.Open(path);
  Session().ReadOnly = false;
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
  static std::string text;
  return text;
}

std::string ShortProdDate(const std::string& date) { return date.size() == 18 ? date.substr(2) : date; }

int IsVolumeNewer(const std::string& S, const std::string& T) {
  VolumeDescription().clear();
  if (Exists(S)) {
    CDbTable s;
    OpenReadOnly(s, S);
    if (s.IsOpen()) {
      s.Top();
      VolumeDescription() = s.FieldByName("HR_DESC");
    }
  }
  if (!Exists(S) || !Exists(T)) return 1;
  CDbTable s, t;
  OpenReadOnly(s, S);
  t.Open(T);
  if (s.IsOpen()) {
    s.Top();
    VolumeDescription() = s.FieldByName("HR_DESC");
  }
  if (!s.IsOpen() || !t.IsOpen()) return 0;
  if (!FindLogicalId(t, s.FieldByName("LOGICALID"))) return 1;
  std::string installed = ShortProdDate(t.FieldByName("PRODDATE"));
  if (installed.empty()) return 1;
  std::string source = ShortProdDate(s.FieldByName("PRODDATE"));
  return CompareNoCase(source, installed) > 0 ? 1 : 0;
}

int RegisterVolume(const std::string& S, const std::string& T) {
  VolumeDescription().clear();
  if (!Exists(S)) return 1;
  if (!Exists(T)) {
    CopyFileEx(S, T, true);
    MakeNormal(T);
  }
  MergeVolume(S, T);
  return 0;
}

void MergeVolume(const std::string& S, const std::string& T) {
  UpgradeVolumeStructure(T, S);
  CDbTable s, t;
  OpenReadOnly(s, S);
  t.Open(T);
  if (!s.IsOpen() || !t.IsOpen()) return;  // nothing is written into a table that did not open
  s.Top();
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
}

void UpgradeVolumeStructure(const std::string& T, const std::string& S) {
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
  if (!needed) return;

  size_t sep = T.find_last_of("\\/:");
  size_t nameAt = sep == std::string::npos ? 0 : sep + 1;
  if (nameAt >= T.size()) return;
  std::string N = T;
  N[nameAt] = '$';
  CopyFileEx(S, N, true);
  MakeNormal(N);

  bool indexCopied = false;
  const std::string sIndex = WithExtension(S, ".CDX");
  if (Exists(sIndex)) {
    const std::string tIndex = WithExtension(T, ".CDX");
    // A differently cased old index would stay beside the copy: it goes first.
    std::string oldHost = HostPath(tIndex);
    std::error_code ec;
    if (!oldHost.empty()) std::filesystem::remove(oldHost, ec);
    CopyFileEx(sIndex, tIndex, true);
    MakeNormal(tIndex);
    indexCopied = true;
  }

  {
    CDbTable t, n;
    t.Open(T);
    n.Open(N);
    if (t.IsOpen() && n.IsOpen()) {
      n.ZapAll();
      for (t.Top(); !t.Eof(); t.Skip(1)) {
        n.AppendStart(true);
        for (int j = 1; j <= t.FieldCount(); ++j) {
          std::string name;
          if (t.FieldInfo(j, &name, nullptr, nullptr) == 0) n.AssignString(name, t.FieldByNumber(j));
        }
        n.Append();
      }
    }
  }
  // The new table replaces the old one in one step: a stop in between leaves either of them.
  std::error_code ec;
  std::string nHost = HostPath(N), tHost = HostPath(T);
  if (!nHost.empty() && !tHost.empty()) std::filesystem::rename(nHost, tHost, ec);

  if (indexCopied) {
    CDbIndexedTable t;
    t.Open(T);
    if (t.IsOpen()) t.Reindex();
  }
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
