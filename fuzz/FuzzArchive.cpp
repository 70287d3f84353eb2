// Fuzz target of the archive reader: the input is an archive file; its directory is walked,
// searched and every member extracted into a scratch folder.
#include "ArcDump.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz_archive.XXXXXX";
        return std::string(mkdtemp(tmpl));
    }();
    std::string path = dir + "/in.pod";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ArcDump arc(path.data());
    if (!arc.IsValid()) return 0;
    char name[13];
    std::string out = dir + "/member";
    unsigned long n = arc.NumberOfRecords();
    for (unsigned long i = 0; i < n && i < 64 && !arc.eof(); ++i, arc.Next()) {
        arc.FileName(name);
        arc.Offset();
        arc.Length();
        arc.ExtractFile(out.data());
        unlink(out.c_str());
    }
    char key[] = "readme.txt";
    arc.Seek(key);
    unlink(path.c_str());
    return 0;
}
