// Windows paths inside the installer and where they land on this machine. The installer keeps
// drive-letter paths ("E:\REL\relwork", "\\server\share\x") throughout and translates them once,
// where a file is touched, through the drive map of quillet.ini or QUILLET_DRIVES.
#pragma once

#include <string>
#include <string_view>
#include <vector>

/// The host path of a Windows path: the drive (or \\server\share) becomes the folder the drive
/// map names, "\" becomes "/", every existing component is matched whatever its letter case and
/// new ones keep theirs; ".." stops at the drive's root. A path without a drive is relative to
/// the current folder ("\x" is on the current drive). A drive the map does not name gives "",
/// a path that exists nowhere.
std::string HostPath(const std::string& windowsPath);

/// The root folder mapped to a drive letter or a \\server\share name ("" when unmapped).
std::string DriveRoot(const std::string& drive);
/// The volume label the map gives a drive ("E.label=DISK.01"); "" when none.
std::string DriveLabel(char drive);
/// The drive of paths rooted without a letter ("\x"); "C" unless changed.
char CurrentDrive();
void SetCurrentDrive(char drive);

/// Forgets the drive map, so that the next translation reads quillet.ini and QUILLET_DRIVES
/// again (tests change them).
void ReloadDriveMap();

/// The (key, value) pairs of one section of ini text, the one reading of quillet.ini: section and
/// keys in any letter case (keys returned upper case, the first occurrence of a key wins), blanks
/// around keys and values removed, one pair of enclosing quotes removed, lines starting with ";"
/// ignored, values cut at 254 bytes. None when the section is missing.
std::vector<std::pair<std::string, std::string>> ParseIniSection(std::string_view text, std::string_view section);
/// The same for an ini file (a host path); none when the file cannot be read. A file that is
/// there but cannot be read (a folder, no permission, a read error) sets *problem to its name and
/// the reason.
std::vector<std::pair<std::string, std::string>> ReadIniSection(const std::string& hostFile, std::string_view section,
                                                                std::string* problem = nullptr);
/// The quillet.ini that the drive map comes from when it is there and cannot be read: its name
/// and why; "" when the map was read (or comes from QUILLET_DRIVES, or there is no ini).
std::string DriveMapProblem();
