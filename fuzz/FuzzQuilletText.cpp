// Fuzz target of the installer's texts from outside: the input's first byte picks a section name
// length, then the rest is an ini file (its message texts then formatted with a unit code), a
// command line, a tree-path template and a module mask, each taken as the program takes them.
#include "InstallRun.h"
#include "HostPath.h"
#include "InstallerApp.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view section = text.substr(0, data[0] % 16);

  // The ini texts: parsed, loaded into the message table and formatted as the run shows them.
  static const std::string iniPath = [] {
    char tmpl[] = "/tmp/fuzz_quillet_text.XXXXXX";
    return std::string(mkdtemp(tmpl)) + "/quillet.ini";
  }();
  if (FILE* f = std::fopen(iniPath.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  for (auto& [key, value] : ParseIniSection(text, section))
    if (value.size() > 254 || key.empty()) __builtin_trap();
  CInstallerApp app;
  app.L = std::string(section);
  app.LoadMessages(iniPath);
  for (int i = 0; i < msgCount; ++i) FormatMessage(Msg(MessageId(i)), "UNIT%s%n");
  ResetMessages();

  // The command line.
  CInstallerApp parsed;
  parsed.ParseCommandLine(std::string(text));
  if (parsed.B && parsed.B->size() + 2 > text.size()) __builtin_trap();  // the value lies inside the line

  // A tree-path template and a unit code, and a module mask against the code.
  const size_t half = text.size() / 2;
  const std::string tmpl(text.substr(0, half)), code(text.substr(half));
  std::string tree = ExpandTreePath(tmpl, code, "V1", "GB", "EN", -123);
  if (tree.empty() || tree.back() != '\\') __builtin_trap();
  ReadInstCode(code);
  return 0;
}
