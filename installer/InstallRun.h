// The install run: the workunits of one source volume installed into the local tree through their
// install libraries, then each product's merge library and the volume registry. It runs inside the
// main dialog's start message and serves the dialog itself between steps.
#pragma once

#include "DB.h"
#include "Db1.h"

#include <memory>
#include <string>
#include <vector>

class CInstallerDlg;

/// One row of a volume's module table.
struct CModule {
  std::string Name, WuidMask, Code, TreeParam;
  bool MultiInstall = false;  ///< MULTINST begins with "y" or "Y" (a table without it: no)
};

/// The modules of a volume in table order.
class CModuleList {
 public:
  /// Reads "module" in the volume folder (read-only); Loaded() only when it opened.
  void Load(const std::string& folder);
  /// The first module whose WUIDMASK matches the unit code (cut at its first "."), or none.
  const CModule* FindModule(const std::string& unitCode) const;
  bool Loaded() const { return loaded_; }
  void Free() {
    modules_.clear();
    loaded_ = false;
  }
  const std::vector<std::unique_ptr<CModule>>& Modules() const { return modules_; }

 private:
  std::vector<std::unique_ptr<CModule>> modules_;
  bool loaded_ = false;
};

/// True when the open table has a field of that name (any letter case).
bool HasField(const CDbTable& table, const std::string& name);

/// The tree path of a workunit: "\" + each "\"-separated component of the upper-cased template,
/// with %dXn (n characters of the unit code from its d-th), %I, %L, %M and %V expanded, then "\".
std::string ExpandTreePath(const std::string& treeParam, const std::string& unitCode, const std::string& viewTech,
                           const std::string& market, const std::string& language, long instCode);

/// The structure and tags of an installation's workunit list.
const FieldList& InstalledListFields();
const TagList& InstalledListTags();
/// Its fields as the run reads and writes them: each of its type and at least its width.
const FieldNeeds& InstalledListNeeds();

/// 0 up to date, 1 to be added, 2 to be updated.
int CompareWorkunit(CDbIndexedTable& installed, const std::string& unitCode, const std::string& prodDate,
                    bool multiInstall, const std::string& volume);
/// Records the workunit in the installed list: 0, or 1 when a write, assignment or move of the
/// list failed (the workunit may not be recorded).
int WriteWorkunit(CDbIndexedTable& installed, const std::string& unitCode, const std::string& viewTech,
                  const std::string& market, const std::string& language, long instCode,
                  const std::string& prodDate, const std::string& volume, bool multiInstall);
/// Removes the records of the installed list from the first lower-case unit code on, then its
/// index, which the next open rebuilds. An index that had to be built again before the removal
/// is named in *rebuiltIndex. Returns 0 when the list is clean (or absent), non-zero when the
/// clean-up could not be made: a list that is there but does not open, or a removal, pack or
/// write that failed.
int PurgeLowercaseWorkunits(const std::string& listPath, std::string* rebuiltIndex = nullptr);

/// INSTCODE as the C runtime reads a number: leading blanks, a sign, digits; else 0.
long ReadInstCode(const std::string& text);

/// Serves the dialog's waiting events unless a stop was requested.
void PumpMessages(CInstallerDlg& dlg);
/// The run (the main dialog's start message).
void RunInstall(CInstallerDlg& dlg);
/// True while a run is under way (started and not yet at its end).
bool RunInProgress();
/// Makes the process-wide objects with work to do at a normal exit that a run and its exit
/// handler use (the log, whose stream is then written out; the library holder), so that they
/// outlive a handler registered afterwards. Every other process-wide object of the installer (the
/// message table, the drive map, the table session, the index-check cache, the volume
/// description) is made on first use and never destroyed, whenever that use comes.
void PrepareRunState();
/// Writes and closes the installed list the run is recording into, if any: for a program that
/// ends in the middle of the run, so that the workunits recorded so far stay recorded.
void CloseRunTables();
/// Cancel, Escape, and the end of the run.
void CancelInstall(CInstallerDlg& dlg);
