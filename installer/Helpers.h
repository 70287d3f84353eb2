// Small text, path and file helpers shared by the installer's units. Paths are Windows paths
// ("C:\base\data"); the helpers that touch files translate them with HostPath.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class ReplacementFile;

/// folder + "\" (unless the folder already ends with one) + name; without a folder, the name.
std::string PathJoin(const std::optional<std::string>& folder, const std::string& name);

/// The source drive, ":" unless the drive already holds one, the directory and the name (no
/// separator added); without a drive, the directory and the name.
std::string SourcePath(const std::optional<std::string>& drive, const std::string& directory,
                       const std::string& name);

/// An owned copy; none gives none.
std::optional<std::string> StrDup(const char* text);

/// Splits a path: drive (the first two characters when the second is ":"), folder (up to and
/// including the last "\", with a leading "\" supplied after a drive), name (up to its last
/// "."), extension (from the last "." on). Each output is optional.
void SplitPath(const std::string& path, std::string* drive, std::string* folder, std::string* name,
               std::string* extension);

/// Creates every missing folder of an absolute path ("C:\a\b" or "\\server\share\a"), one
/// component at a time from the root. Returns 0, or the system error number of the first folder
/// that cannot be made (ENOENT for a drive the map does not name); other paths create nothing.
/// The folder in which each one is made is noted as changed (NoteFolderChanged).
int MakeDirs(const std::string& path);

/// Notes that a name was made or removed in a folder (a host path), so that FlushChangedFolders
/// puts that change on the disk. (A replacement's rename flushes its folder itself.)
void NoteFolderChanged(const std::string& hostFolder);
/// Flushes every folder noted since the last call, so that no name the run made or removed is
/// lost in a power cut: 0, or the error number of the first flush that failed (the folders not
/// flushed stay noted). A file system that cannot flush folders (EINVAL) keeps them by its rules.
int FlushChangedFolders();

/// Compares two texts as the C runtime's case-blind comparison does (letters lower-cased):
/// negative, 0 or positive.
int CompareNoCase(const std::string& a, const std::string& b);

/// A byte with the letters a-z made upper case (other bytes, those of any code page, unchanged).
char UpperByte(char c);
/// The text with its letters a-z made upper case, as UpperByte does.
std::string UpperText(std::string_view text);

/// Whether a regular file exists at a host path.
bool FileExists(const std::string& hostPath);

/// Removes trailing blanks.
void TrimRight(std::string& text);
std::string TrimRight(const char* buffer, size_t length);
/// Copies `count` bytes (fewer when the text is shorter), then removes trailing blanks.
std::string CopyTrim(const std::string& text, size_t count);

/// The number in the radix (2 to 36), letters upper case, a "-" before negative decimals.
std::string LtoaUpper(long value, int radix);

/// Trailing blanks removed, then digits 0-9 and letters A-Z (either case, A = 10) read in the
/// base, most significant first, without validation; the value wraps at 32 bits.
int32_t ParseInBase(const std::string& text, int base);

/// 6-character modification stamp of a file (local time): year - 1985, month 0-11, day, hour in
/// the digits of bases 36, 12, 32, 24, then two decimal minute digits. Years past 2020 go on with
/// the characters after "Z" ("[" for 2021), so that stamps compare as text in time order.
/// Returns 0, or non-zero when the file cannot be examined.
int FileStamp(const std::string& path, std::string& out);
/// The stamp of a time (the file's modification time, or any other).
std::string StampOf(int64_t unixTime);

/// Copies a file, overwriting when asked: 0 or the system error number. An overwriting copy
/// replaces the destination safely (ReplacementFile): whole or not at all, never through a link.
int CopyFileEx(const std::string& from, const std::string& to, bool overwrite);
/// Copies the file at a host path into a replacement file (not yet committed): 0 or the system
/// error number.
int CopyFileInto(const std::string& fromHost, ReplacementFile& to);
/// The chunked form: -1 when the source cannot be opened, -1004 when the destination exists and
/// may not be overwritten, -1002 when it cannot be created, -1003 without a buffer; otherwise 0
/// or the system error number of a failed read or write. `handle` receives nothing useful here
/// (the form exists for callers that pass one).
int CopyFileEx(const std::string& from, const std::string& to, bool overwrite, int* handle);

/// The exclamation beep (silent without a display; counted).
void Beep();

/// The current local time as "Wed Jan 02 02:03:55 1980" followed by a newline.
std::string TimeText();
/// The same for a given time.
std::string TimeText(int64_t unixTime);
