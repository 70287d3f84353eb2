// The artwork generator: paints the flags, logos, tick and splash picture of the checksheet
// program and writes them into the program folder's artwork folder; with --pages it writes the
// sample page images (TIFF) into the program folder instead. Run by the build.
#include "Artwork.h"
#include "PageImages.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    const bool pages = argc == 3 && std::string(argv[1]) == "--pages";
    if (argc != 2 && !pages) {
        std::fprintf(stderr, "usage: %s <artwork folder> | --pages <program folder>\n", argv[0]);
        return 2;
    }
    try {
        if (pages)
            artwork::writeSamplePages(argv[2]);
        else
            artwork::writeAll(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}
