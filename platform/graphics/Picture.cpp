// Picture holder and format registry.
#include "Picture.h"

#include "Jpeg.h"
#include "Metafile.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<TFileFormat>& Registry() {
    static std::vector<TFileFormat> formats = {
        {"bmp", "Bitmaps", BitmapClass()},
        {"jpg", "JPEG Image File", JPEGImageClass()},
        {"jpeg", "JPEG Image File", JPEGImageClass()},
    };
    return formats;
}

/// The extension of a file name without its dot ("" when none).
std::string ExtensionOf(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    const size_t slash = fileName.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return fileName.substr(dot + 1);
}

}  // namespace

TGraphicClass BitmapClass() { return GraphicClassOf<TBitmap>("TBitmap"); }

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description, TGraphicClass cls) {
    Registry().push_back(TFileFormat{Lower(extension), description, cls});
}

void TPicture::UnregisterGraphicClass(TGraphicClass cls) {
    auto& r = Registry();
    r.erase(std::remove_if(r.begin(), r.end(), [cls](const TFileFormat& f) { return f.GraphicClass == cls; }), r.end());
}

std::vector<TFileFormat> TPicture::FileFormats() { return Registry(); }

void TPicture::Changed() {
    if (OnChange) OnChange();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    FGraphic = std::move(graphic);
    Changed();
}

TBitmap& TPicture::Bitmap() {
    auto* bitmap = dynamic_cast<TBitmap*>(FGraphic.get());
    if (!bitmap) {
        FGraphic = std::make_unique<TBitmap>();
        bitmap = static_cast<TBitmap*>(FGraphic.get());
        Changed();
    }
    return *bitmap;
}

void TPicture::LoadFromFile(const std::string& fileName) {
    const std::string ext = Lower(ExtensionOf(fileName));
    const auto& r = Registry();
    auto it = std::find_if(r.rbegin(), r.rend(), [&](const TFileFormat& f) { return f.Extension == ext; });
    if (it == r.rend()) throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
    std::unique_ptr<TGraphic> graphic = it->GraphicClass->Create();
    graphic->LoadFromFile(fileName);
    FGraphic = std::move(graphic);
    Changed();
}
