// The artwork generator: paints the flags, logos, tick and splash picture of the checksheet
// program and writes them into the program folder's artwork folder. Run by the build.
#include "Artwork.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <artwork folder>\n", argv[0]);
        return 2;
    }
    try {
        artwork::writeAll(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}
