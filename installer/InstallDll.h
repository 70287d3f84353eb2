// The holder of the install library now loaded: one library at a time, found by its stored name
// in dll32/ beside the program, and the call of its Install entry with the install block.
#pragma once

#include "QuilletInstall.h"

#include <cstdint>
#include <string>

class CInstallDll {
 public:
  CInstallDll() = default;
  ~CInstallDll() { Unload(); }
  CInstallDll(const CInstallDll&) = delete;
  CInstallDll& operator=(const CInstallDll&) = delete;

  /// Loads dll32/<name>.so (found whatever its letter case) unless the library of that name
  /// (any case) is held already; another held library is unloaded first. A name holding "/",
  /// "\", ":" or ".." loads nothing, as does a library without the Install entry.
  void Load(const std::string& name);
  /// Calls Install with the block: the application's options P, B, I, E, D, then the given
  /// texts, the product language, the cancel word and the DEBUG flag; the texts are lower case
  /// during the call and upper case after it (in place). -1 when no entry is held.
  int16_t Call(QuilletWindow* window, std::string& unitCode, std::string& treePath, std::string& viewTech,
               std::string& market, std::string& language, int32_t code);
  /// Frees the library; the name stays but is no longer consulted.
  void Unload();
  /// No library, no entry, empty name.
  void Clear();

  bool Held() const { return entry_ != nullptr; }
  const std::string& Name() const { return name_; }
  /// Libraries loaded so far (each dlopen counts).
  int LoadCount() const { return loads_; }

  /// The folder of the install libraries: dll32/ beside the program.
  static std::string Folder();

 private:
  std::string name_;
  void* library_ = nullptr;
  QuilletInstallFn entry_ = nullptr;
  int loads_ = 0;
};
