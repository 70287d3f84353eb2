// The error log and its error classes. Log files are named as Windows paths and found through
// the drive map; rotation works in the current folder as the installer always has.
#include "ErrLog.h"

#include "Helpers.h"
#include "HostPath.h"

#include <sys/stat.h>

#include <cstdio>
#include <vector>

namespace {

std::string Host(const std::string& name) {
  std::string h = HostPath(name);
  return h.empty() ? name : h;
}

}  // namespace

// ---- The log ----

CErrorLog::CErrorLog() { RotateLog(fileName_); }

CErrorLog::~CErrorLog() { Close(); }

int CErrorLog::SetFile(const std::string& fileName, int level, int keep, int rotate) {
  Close();
  fileName_ = fileName;
  level_ = int16_t(level);
  if (keep == 0) {
    if (rotate)
      RotateLog(fileName_);
    else
      std::remove(Host(fileName_).c_str());
  }
  return 1;
}

int16_t CErrorLog::SetLevel(int16_t level) {
  int16_t old = level_;
  level_ = level;
  return old;
}

int CErrorLog::OpenAppend() {
  out_.clear();
  out_.open(Host(fileName_), std::ios::out | std::ios::app | std::ios::binary);
  return int(out_.rdstate() & (std::ios::failbit | std::ios::badbit));
}

void CErrorLog::Close() {
  if (out_.is_open()) out_.close();
}

void CErrorLog::FlushIfDue(int seconds) {
  std::time_t now = Clock();
  if (now - lastFlush_ < seconds) return;
  lastFlush_ = now;
  out_.flush();
  Trim();
}

void CErrorLog::Trim() {
  constexpr long kLimit = 524288, kKeep = 262144;
  std::string host = Host(fileName_);
  struct stat st{};
  if (stat(host.c_str(), &st) != 0 || st.st_size <= kLimit) return;
  Close();
  std::vector<char> tail(kKeep);
  {
    std::ifstream in(host, std::ios::binary);
    in.seekg(-kKeep, std::ios::end);
    in.read(tail.data(), kKeep);
    tail.resize(size_t(in.gcount()));
  }
  out_.clear();
  out_.open(host, std::ios::out | std::ios::trunc | std::ios::binary);
  out_.write(tail.data(), std::streamsize(tail.size()));
  out_.flush();
}

CErrorLog& ErrorLog() {
  static CErrorLog log;
  return log;
}

void RotateLog(const std::string& fileName) {
  std::string host = Host(fileName);
  if (!FileExists(host)) return;
  std::string name, ext;
  SplitPath(fileName, nullptr, nullptr, &name, &ext);
  std::string base = name.substr(0, 7);
  std::string choice, smallest;
  for (int d = 0; d <= 9; ++d) {
    std::string candidate = base + char('0' + d) + ext;
    std::string stamp;
    if (!FileExists(Host(candidate))) {
      choice = candidate;
      break;
    }
    // The first slot is a candidate whatever its stamp: stamps of later years sort above "Z".
    if (FileStamp(candidate, stamp) == 0 && (choice.empty() || stamp < smallest)) {
      smallest = stamp;
      choice = candidate;
    }
  }
  if (choice.empty()) return;
  CopyFileEx(fileName, choice, true);
  std::remove(host.c_str());
}

int NormaliseCode(int code) { return code < 0 ? 100 : code; }

// ---- Errors ----

CError::CError(std::string name, std::string module, std::string function, int line)
    : name_(std::move(name)), module_(std::move(module)), function_(std::move(function)), line_(line) {
  time_ = TimeText();
  if (!time_.empty() && time_.back() == '\n') time_.pop_back();
}

void CError::WriteHeader(CErrorLog& log) {
  if (!log.IsOpen()) log.OpenAppend();
  log.Stream() << "Error:  " << Type() << "\n";
  log.Stream() << "Time of error:  " << time_ << "\n";
}

void CError::Write(CErrorLog& log) {
  if (log.GetLevel() < level_) return;
  WriteHeader(log);
  WriteDetail(log.Stream());
  log.Stream() << "\n";
  log.FlushIfDue(30);
}

CObjectError::CObjectError(std::string name, std::string module, std::string function, int line, const char* object)
    : CError(std::move(name), std::move(module), std::move(function), line), object_(object ? object : "NULL") {}

CRangeError::CRangeError(std::string name, std::string module, std::string function, int line, const char* object,
                         long value)
    : CObjectError(std::move(name), std::move(module), std::move(function), line, object), value_(value) {}

CValueError::CValueError(std::string name, std::string module, std::string function, int line, int value)
    : CError(std::move(name), std::move(module), std::move(function), line), value_(value) {}

CFileError::CFileError(std::string name, std::string module, std::string function, int line, const char* file)
    : CError(std::move(name), std::move(module), std::move(function), line), file_(file ? file : "NULL") {}
