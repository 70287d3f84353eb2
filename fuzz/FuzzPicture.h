// Shared body of the picture reader fuzz targets: the input is loaded from a memory stream into
// a fresh reader; raised exceptions are the expected outcome for most inputs. Pictures are held
// to 16 megapixels (64 MiB of 32-bit pixels) while fuzzing.
#pragma once

#include "ImageReaders.h"
#include "Streams.h"

#include <cstdint>
#include <exception>
#include <vector>

inline void FuzzBudget() {
    static const bool set = (SetPixelBudget(int64_t(16) << 20), true);
    (void)set;
}

template <class T>
void FuzzPicture(const uint8_t* data, size_t size) {
    FuzzBudget();
    TMemoryStream stream(std::vector<uint8_t>(data, data + size));
    T picture;
    try {
        picture.LoadFromStream(stream);
    } catch (const std::exception&) {
    }
}
