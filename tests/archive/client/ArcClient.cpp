// A client of the installed archive library: lists an archive's directory, then finds and
// extracts the members named on the command line into a folder.
//   ArcClient <archive> <folder> <name>...
#include <ArcDump.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: ArcClient <archive> <folder> <name>...\n");
        return 2;
    }
    ArcDump arc(argv[1]);
    if (!arc.IsValid()) {
        std::printf("cannot open %s\n", argv[1]);
        return 1;
    }
    std::printf("%lu records\n", arc.NumberOfRecords());
    char name[13];
    for (arc.Top(); !arc.eof(); arc.Next()) {
        std::printf("%s %lu %lu\n", reinterpret_cast<char*>(arc.FileName(name)), arc.Offset(), arc.Length());
    }
    for (int i = 3; i < argc; ++i) {
        if (!arc.Seek(argv[i])) {
            std::printf("missing %s\n", argv[i]);
            continue;
        }
        std::string out = std::string(argv[2]) + "/" + argv[i];
        std::printf("extract %s %d\n", argv[i], arc.ExtractFile(out.data()));
    }
    return 0;
}
