// The abstract graphic's file loading.
#include "Graphics.h"

#include "Streams.h"

void TGraphic::LoadFromFile(const std::string& fileName) {
    TFileStream stream(fileName, fmOpenRead);
    LoadFromStream(stream);
}
