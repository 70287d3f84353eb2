// The program folder and file look-up. Names that the system's data give (page images, tables,
// libraries) may differ in letter case from the files on disk; look-up finds them anyway.
#pragma once

#include <string>

/// The folder of the running program, with a trailing "/" (from /proc/self/exe; "./" if unknown).
std::string ProgramFolder();

/// The path of the existing file or folder that `path` names, matching each component without
/// regard to ASCII letter case (an exact match is preferred). Returns "" when nothing matches.
std::string FindFileNoCase(const std::string& path);

/// True when `path` names an existing regular file, whatever its letter case.
bool FileExistsNoCase(const std::string& path);
