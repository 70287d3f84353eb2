// The volume registry: every volume carries volume.dbf, one record that names and dates it; the
// installation keeps one such table per product and language with a record per volume merged.
// Paths are Windows paths (see HostPath).
#pragma once

#include <string>

/// HR_DESC of the source volume, shown while its entry-point data are merged.
std::string& VolumeDescription();

/// A PRODDATE as compared and stored: 18 characters lose their first 2, others stay.
std::string ShortProdDate(const std::string& date);

/// 1 when the source volume S must be installed over the installed registry T: either is
/// missing, T has no record of S's LOGICALID, that record's PRODDATE is empty or older than
/// S's, or T is damaged (not a table: *installedDamaged is then set, and registering the volume
/// replaces T). 0 when S is not newer. A run's failure code when a registry exists but cannot be
/// used: kInstallNoProducts (-2) when S does not open, kInstallNoDestination (-5) when T does
/// not open for writing (read-only, locked) without being damaged; *installedLocked is set when
/// that is because another program holds T open for writing.
int IsVolumeNewer(const std::string& S, const std::string& T, bool* installedDamaged = nullptr,
                  bool* installedLocked = nullptr);
/// Records S in T (copying S when T is missing or damaged): 0; 1 when S does not exist;
/// kInstallNoDestination when T could not be written.
int RegisterVolume(const std::string& S, const std::string& T);
/// Writes S's record into T: the record of the same LOGICALID is updated, else one is appended.
/// 0, or kInstallNoDestination when a table did not open or a write failed.
int MergeVolume(const std::string& S, const std::string& T);
/// Gives T the structure of S when S has more fields or a longer field, keeping T's records.
/// 0, or kInstallNoDestination when the new table could not be made whole (T then stays).
int UpgradeVolumeStructure(const std::string& T, const std::string& S);
/// The label of a drive (the drive map's, else the name of the drive's root folder) with its
/// first "." removed; "" for a drive the map does not name.
std::string GetVolumeLabel(char drive);
