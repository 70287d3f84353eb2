// Speed of the installer's table library on a table of the installed workunit list's structure
// with both its tags: 100,000 appends, flush, open of table and index, the check of the index
// against the records, 100,000 random seeks, a
// walk in tag order, and a pack after deleting every tenth record. The same appends through
// Debian's python3-dbf (no index) run in the same process for comparison, when it is installed.
//   bench_tables [records]
#include "Tables.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tables;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

std::string Unit(std::mt19937& rng) {
  static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s(8, ' ');
  for (char& c : s) c = chars[rng() % 36];
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
  auto dir = std::filesystem::temp_directory_path() / ("bench_tables_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string dbf = (dir / "RELWORK.DBF").string(), cdx = (dir / "RELWORK.CDX").string();
  std::mt19937 rng(42);
  std::vector<std::string> units;
  for (int i = 0; i < n; ++i) units.push_back(Unit(rng));

  auto t0 = Clock::now();
  double appendMs = 0;
  {
    auto t = CreateTable(dbf, {{"INSTCODE", 'C', 3, 0}, {"UNITCODE", 'C', 8, 0}, {"VIEWTECH", 'C', 2, 0},
                               {"MARKET", 'C', 2, 0}, {"LANGUAGE", 'C', 2, 0}, {"PRODDATE", 'C', 16, 0},
                               {"VOLUME", 'C', 12, 0}});
    t->createIndex(cdx, {{"BYCODE", "UNITCODE", "UNITCODE > '!'", 0, 0},
                         {"BYCODEDATE", "UNITCODE-PRODDATE", "UNITCODE > '!'", 25, 0}});
    for (int i = 0; i < n; ++i) {
      t->appendStart(true);
      t->assignLong(0, i % 1000);
      t->assignText(1, units[size_t(i)]);
      t->assignText(5, "2001030" + std::to_string(i % 10));
      t->assignText(6, "VOL" + std::to_string(i % 7));
      if (t->append() != kOk) return 1;
    }
    auto t1 = Clock::now();
    appendMs = Ms(t0, t1);
    std::printf("append %d records          %9.1f ms\n", n, appendMs);
    t->flush();
    auto t2 = Clock::now();
    std::printf("flush (index written)       %9.1f ms\n", Ms(t1, t2));
  }
  auto t3 = Clock::now();
  auto t = OpenTable(dbf, false);
  if (!t || t->openIndex(cdx) != kOk) return 1;
  auto t4 = Clock::now();
  std::printf("open table and index        %9.1f ms\n", Ms(t3, t4));
  {
    // The check an installer makes before it trusts an index: every key computed and compared.
    auto a = Clock::now();
    bool same = t->index()->matchesRecords();
    std::printf("index checked against table %9.1f ms  (%s)\n", Ms(a, Clock::now()), same ? "agrees" : "disagrees");
  }
  t->selectTag(t->index()->tag("BYCODE"));
  int found = 0;
  auto t5 = Clock::now();
  for (int i = 0; i < n; ++i) found += t->seek(units[rng() % units.size()]) == kOk;
  auto t6 = Clock::now();
  std::printf("%d random seeks         %9.1f ms  (%.2f us a seek, %d found)\n", n, Ms(t5, t6),
              Ms(t5, t6) * 1000 / n, found);
  long walked = 0;
  for (t->top(); !t->eof(); t->skip(1)) ++walked;
  auto t7 = Clock::now();
  std::printf("walk in tag order (%ld)  %9.1f ms\n", walked, Ms(t6, t7));
  t->selectTag(nullptr);
  for (int r = 1; r <= t->recCount(); r += 10) {
    t->go(r);
    t->markDeleted();
  }
  auto t8 = Clock::now();
  t->pack();
  auto t9 = Clock::now();
  std::printf("mark 10%% deleted            %9.1f ms\npack and reindex            %9.1f ms  (%d left)\n",
              Ms(t7, t8), Ms(t8, t9), t->recCount());
  t->close();

  // The peer: the same appends through python3-dbf, timed inside Python.
  std::string script = (dir / "peer.py").string();
  std::ofstream(script) << "import time, dbf\n"
                           "t = dbf.Table('" << (dir / "peer").string() << "', 'INSTCODE C(3); UNITCODE C(8); "
                           "VIEWTECH C(2); MARKET C(2); LANGUAGE C(2); PRODDATE C(16); VOLUME C(12)', dbf_type='db3')\n"
                           "t.open(dbf.READ_WRITE)\n"
                           "s = time.perf_counter()\n"
                           "for i in range(" << n << "):\n"
                           "    t.append((str(i % 1000), 'U%07d' % i, '', '', '', '2001030%d' % (i % 10), 'VOL%d' % (i % 7)))\n"
                           "t.close()\n"
                           "print('%.1f' % ((time.perf_counter() - s) * 1000))\n";
  std::string cmd = "/usr/bin/python3 " + script + " 2>/dev/null";
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[64] = {0};
    if (std::fgets(buf, sizeof buf, p)) {
      double peer = std::atof(buf);
      std::printf("python3-dbf append (no index) %7.1f ms  (ratio %.1fx)\n", peer, peer / appendMs);
    }
    pclose(p);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
