// Speed of the ini reader on a large quillet.ini: 100,000 keys in [Drives] (half of them repeated
// keys, of which the first counts) and the message texts after them, read as the installer reads
// them at start: the drive map, then the texts of section L from the same file.
//   bench_ini [keys]
#include "HostPath.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const int keys = argc > 1 ? std::atoi(argv[1]) : 100000;
  char tmpl[] = "/tmp/bench_ini.XXXXXX";
  const std::filesystem::path dir = mkdtemp(tmpl);
  const std::string ini = (dir / "quillet.ini").string();
  {
    std::ofstream out(ini, std::ios::binary);
    out << "[Drives]\r\n";
    for (int i = 0; i < keys; ++i) out << "\\\\SERVER\\SHARE" << (i % (keys / 2 + 1)) << " = /srv/share" << i << "\r\n";
    out << "[English]\r\nInstallSuccess = Done\r\nMissingDest = Not written\r\n";
  }
  const auto start = Clock::now();
  const size_t drives = ReadIniSection(ini, "Drives").size();
  const size_t texts = ReadIniSection(ini, "English").size();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::printf("%d keys (%zu distinct) and %zu texts from %ju bytes: %.1f ms\n", keys, drives, texts,
              std::uintmax_t(std::filesystem::file_size(ini)), ms);
  std::filesystem::remove_all(dir);
  return 0;
}
