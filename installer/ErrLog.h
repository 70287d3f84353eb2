// The installer's error log: one process-wide log file with a level, rotated into numbered slots
// at start, flushed and trimmed at most every 30 seconds; and the error classes whose objects the
// table wrapper writes to it.
#pragma once

#include <cstdint>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>

class CErrorLog {
 public:
  CErrorLog();
  ~CErrorLog();

  /// Stores the name and level; unless keeping the old file, rotates it (rotate set) or deletes
  /// it. Returns 1.
  int SetFile(const std::string& fileName, int level, int keep, int rotate);
  /// Sets the level; returns the previous one.
  int16_t SetLevel(int16_t level);
  int16_t GetLevel() const { return level_; }
  const std::string& FileName() const { return fileName_; }

  /// Opens the file for appending; returns the stream's fail and bad bits (0 when open).
  int OpenAppend();
  bool IsOpen() const { return out_.is_open(); }
  std::ostream& Stream() { return out_; }

  /// When at least `seconds` have passed since the last flush: flush and Trim.
  void FlushIfDue(int seconds);
  /// When the file is larger than 524,288 bytes, keeps only its last 262,144.
  void Trim();
  void Close();

  /// Seconds since the epoch; tests replace it.
  std::function<std::time_t()> Clock = [] { return std::time(nullptr); };

 private:
  std::string fileName_ = "ERRLOG.ERR";
  int16_t level_ = 3;
  std::time_t lastFlush_ = 0;
  std::ofstream out_;
};

/// The process-wide log (constructed on first use: name "ERRLOG.ERR", level 3, the previous
/// ERRLOG.ERR rotated away).
CErrorLog& ErrorLog();

/// Copies the file (when it exists) to the free or oldest of ten numbered slots in the current
/// folder (first 7 characters of its name + digit + extension) and deletes it.
void RotateLog(const std::string& fileName);

/// Library result codes of the log: a negative result becomes 100, others stay.
int NormaliseCode(int code);

/// One reported failure. Created at the report site, written, destroyed.
class CError {
 public:
  CError(std::string name, std::string module, std::string function, int line);
  virtual ~CError() = default;
  /// "Error:  " + type and "Time of error:  " + time, opening the log when needed.
  virtual void WriteHeader(CErrorLog& log);
  /// Header, detail lines, a blank line, then a flush when due; nothing when the log's level is
  /// below the error's.
  virtual void Write(CErrorLog& log);
  void Write() { Write(ErrorLog()); }
  /// The text of the alert box this error would show.
  virtual std::string AlertText() const { return "Error.\nCheck error log."; }

  virtual std::string Type() const { return ""; }
  virtual int Code() const { return 0; }
  int Level() const { return level_; }
  const std::string& Time() const { return time_; }

 protected:
  virtual void WriteDetail(std::ostream& out) { out << "\n"; }

  std::string name_, module_, function_;
  int line_;
  std::string time_;
  int level_ = 2;
};

class CObjectError : public CError {
 public:
  CObjectError(std::string name, std::string module, std::string function, int line, const char* object);
  std::string Type() const override { return "Object error"; }

 protected:
  void WriteDetail(std::ostream& out) override { out << "Object name:  " << object_ << "\n"; }
  std::string object_;
};

class CObjectNotFoundError : public CObjectError {
 public:
  using CObjectError::CObjectError;
  std::string Type() const override { return "Obct NF"; }
  int Code() const override { return 102; }

 protected:
  void WriteDetail(std::ostream& out) override { out << "Object not found:  " << object_ << "\n"; }
};

class CRangeError : public CObjectError {
 public:
  CRangeError(std::string name, std::string module, std::string function, int line, const char* object, long value);
  std::string Type() const override { return "RNG"; }
  int Code() const override { return 104; }

 protected:
  void WriteDetail(std::ostream& out) override {
    out << "Object out of range:  " << object_ << "\n" << "Object value:  " << value_ << "\n";
  }
  long value_;
};

class CValueError : public CError {
 public:
  CValueError(std::string name, std::string module, std::string function, int line, int value);

 protected:
  int value_;
};

class CCodebaseError : public CValueError {
 public:
  using CValueError::CValueError;
  std::string Type() const override { return "CB"; }
  int Code() const override { return 113; }
  std::string AlertText() const override { return "Codebase error.\nCheck error log."; }

 protected:
  void WriteDetail(std::ostream& out) override { out << "Codebase code:  " << value_ << "\n"; }
};

class CFileError : public CError {
 public:
  CFileError(std::string name, std::string module, std::string function, int line, const char* file);
  std::string Type() const override { return "FILE"; }
  int Code() const override { return 112; }
  std::string AlertText() const override { return "File error.\nCheck error log."; }

 protected:
  void WriteDetail(std::ostream& out) override { out << "File:  " << file_ << "\n"; }
  std::string file_;
};

class CFileOpenError : public CFileError {
 public:
  using CFileError::CFileError;
  std::string Type() const override { return "OPEN"; }
  int Code() const override { return 105; }
};

class CFileCreateError : public CFileError {
 public:
  using CFileError::CFileError;
  std::string Type() const override { return "CREATE"; }
  int Code() const override { return 108; }
};
