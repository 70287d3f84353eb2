// The program folder, file look-up and the safe replacement of a file. Names that the system's
// data give (page images, tables, libraries) may differ in letter case from the files on disk;
// look-up finds them anyway. Files the system writes (tables, printed files, XML files) replace
// their old selves whole or not at all.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

/// The folder of the running program, with a trailing "/" (from /proc/self/exe; "./" if unknown).
std::string ProgramFolder();

/// The path of the existing file or folder that `path` names, matching each component without
/// regard to ASCII letter case (an exact match is preferred). Returns "" when nothing matches.
std::string FindFileNoCase(const std::string& path);

/// True when `path` names an existing regular file, whatever its letter case.
bool FileExistsNoCase(const std::string& path);

/// A new file that takes the place of `target` safely. It is made beside the target under a fresh
/// name (".~" + six random letters or digits + "." + the target's name), created exclusively and
/// never through a symbolic link, so that nothing left in the folder is followed or stands in the
/// way. The caller writes it through fd(); Commit() then flushes it to the disk, renames it over
/// the target and flushes the folder: after a crash or a power cut the target is the old file or
/// the whole new one. A file dropped without a successful rename is removed.
class ReplacementFile {
 public:
  /// Makes the new file with permission bits `mode` (less the umask); ok() says whether it exists.
  explicit ReplacementFile(const std::string& target, unsigned mode = 0644);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  /// The new file's descriptor (open for reading and writing), -1 when it could not be made.
  int fd() const { return fd_; }
  /// The new file's fresh name while it is not in place.
  const std::string& path() const { return path_; }
  /// Appends `n` bytes at the end of what was written: false (and error()) when they cannot be.
  bool Write(const void* data, size_t n);
  /// Flushes the file, renames it over the target and flushes the folder: 0, or the error number
  /// of the step that failed. renamed() says whether the target was replaced: a folder flush that
  /// fails after the rename leaves the new file in place (and still reports the failure). With
  /// `replace` false the new file only takes a name that nothing has: EEXIST when something does.
  int Commit(bool replace = true);
  /// For a file the program does not keep open: flushes it to the disk when `durable`, closes it
  /// (a close that fails is a failure), renames it over the target and, when `durable`, flushes
  /// the folder. 0, or the error number of the step that failed.
  int Finish(bool durable);
  bool renamed() const { return renamed_; }
  /// The first error number met (making, writing or committing), 0 when none.
  int error() const { return error_; }
  /// Hands the descriptor over to the caller, who closes it: after Commit, the target itself.
  int Release();

 private:
  int Place(bool replace, bool durable, bool close);

  std::string target_, path_;
  int fd_ = -1;
  long long end_ = 0;  ///< bytes written so far
  int error_ = 0;
  bool renamed_ = false;
};

/// Removes the new files that replacements of `target` made and never put in place (a program
/// ended between making one and its rename): regular files of the ReplacementFile names of that
/// target in its folder, nothing else. Call it only while no replacement of `target` can be under
/// way (holding the lock that every replacement of it holds).
void RemoveUnfinishedReplacements(const std::string& target);

/// Replaces `target` with `data` as a ReplacementFile does: 0, or the error number of the step
/// that failed (the target unchanged unless the rename was made).
int ReplaceFileWith(const std::string& target, std::string_view data, unsigned mode = 0644);

/// A file written for others to read (a printed file, an XML file), whole or not at all. It has
/// no name while it is written (an unnamed file in the target's folder, where the file system
/// offers one; else a short fresh name, ".~" + six letters or digits + ".part"; a file that
/// replaces another holds such a name only between its link and its rename). The writer holds a
/// lock on its file until it is named, and the first writer of a process in a folder removes the
/// short names whose writers have ended (killed). The bytes are gathered and written in
/// large pieces; the file takes its name only when every write, the flush to disk (when asked
/// for) and the close succeeded, and never under a name it was not meant to replace. A writer not
/// committed, or one whose last steps fail, leaves nothing. Failures are results with the
/// system's error number.
class TWholeFileWriter {
public:
    /// A file that replaces whatever has the name `path`.
    explicit TWholeFileWriter(std::string path);
    /// A file that takes the first of the names `name(1)`, `name(2)`, ... that nothing has,
    /// claimed atomically (a link that does not replace): writers at once never share a name.
    explicit TWholeFileWriter(std::function<std::string(int)> name);
    ~TWholeFileWriter();
    TWholeFileWriter(const TWholeFileWriter&) = delete;
    TWholeFileWriter& operator=(const TWholeFileWriter&) = delete;

    /// Makes the new file (mode 0666 less the umask); false when it cannot be made.
    bool Open();
    /// Appends bytes. False once any write has failed (later bytes are dropped).
    bool Write(const void* data, std::size_t size);
    /// Writes what is gathered, flushes the file to the disk when `durable`, checks its close and
    /// gives it its name (when `durable`, the folder is flushed too). False on the first step that
    /// fails; nothing is then left under the name.
    bool Commit(bool durable);
    /// Drops the new file; nothing is left.
    void Discard();

    /// The system error number of the first failure (0: none).
    int Error() const { return FError; }
    /// The file's name: after a successful Commit the one it took.
    const std::string& Path() const { return FPath; }

private:
    bool WriteGathered();
    void Fail(int error);
    int Name(bool durable);
    int LinkAs(const std::string& name);
    void Drop();

    std::string FPath;
    std::function<std::string(int)> FFreeName;
    int FFd = -1;
    std::string FTempPath;  ///< the short fresh name, when the file system offers no unnamed file
    long long FEnd = 0;
    int FError = 0;
    std::string FGathered;
};
