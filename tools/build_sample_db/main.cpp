// The sample-database builder: turns the text sources of data/sample/ into the
// service database file that the programs open. Run by the build.
#include "SampleDb.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source folder> <database file>\n", argv[0]);
        return 2;
    }
    try {
        sampledb::BuildSampleDatabase(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "build_sample_db: %s\n", e.what());
        return 1;
    }
    return 0;
}
