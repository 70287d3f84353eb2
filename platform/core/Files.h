// The program folder and file look-up. Names that the system's data give (page images, tables,
// libraries) may differ in letter case from the files on disk; look-up finds them anyway. Files
// the system writes for others to read (printed files, XML files) are written whole or not at all.
#pragma once

#include <cstddef>
#include <string>

/// The folder of the running program, with a trailing "/" (from /proc/self/exe; "./" if unknown).
std::string ProgramFolder();

/// The path of the existing file or folder that `path` names, matching each component without
/// regard to ASCII letter case (an exact match is preferred). Returns "" when nothing matches.
std::string FindFileNoCase(const std::string& path);

/// True when `path` names an existing regular file, whatever its letter case.
bool FileExistsNoCase(const std::string& path);

/// A file written whole or not at all. The bytes go to a new temporary file in the same folder
/// (".~<random>-<name>"); Commit gives it its own name, replacing a file of that name, only when
/// every write, the flush to disk (when asked for) and the close succeeded. A writer not
/// committed removes its temporary file, so nothing partial is ever left under the file's name.
/// Failures are reported as results with the system's error number, never thrown.
class TWholeFileWriter {
public:
    explicit TWholeFileWriter(std::string path);
    ~TWholeFileWriter();
    TWholeFileWriter(const TWholeFileWriter&) = delete;
    TWholeFileWriter& operator=(const TWholeFileWriter&) = delete;

    /// Creates the temporary file (mode 0666 less the umask); false when it cannot be created.
    bool Open();
    /// Appends bytes; they are gathered and written in large pieces. False once any write has
    /// failed (later bytes are dropped).
    bool Write(const void* data, std::size_t size);
    /// Writes what is gathered, flushes the file to disk when `durable`, closes it and renames it
    /// to its own name. False on the first call that fails; the temporary file is then gone.
    bool Commit(bool durable);
    /// Closes and removes the temporary file; nothing is left.
    void Discard();

    /// The system error number of the first failure (0: none).
    int Error() const { return FError; }
    const std::string& Path() const { return FPath; }

private:
    bool WriteGathered();
    void Fail(int error);

    std::string FPath;
    std::string FTemp;
    int FFd = -1;
    int FError = 0;
    std::string FGathered;
};
