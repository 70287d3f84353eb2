// The picture holder and its file-format registry: a list of file extensions with a description
// and the graphic class that reads them. Loading a file picks the class by the file's extension,
// any letter case. Bitmaps and JPEG pictures are registered here; the image readers add theirs.
#pragma once

#include "Bitmap.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

/// A graphic class: its name and its constructor.
struct TGraphicClassInfo {
    const char* ClassName;
    std::unique_ptr<TGraphic> (*Create)();
};
using TGraphicClass = const TGraphicClassInfo*;

/// The class reference of graphic class T.
template <class T>
TGraphicClass GraphicClassOf(const char* className) {
    static const TGraphicClassInfo info{className, []() -> std::unique_ptr<TGraphic> { return std::make_unique<T>(); }};
    return &info;
}

/// The registered formats, newest first is the order of look-up.
struct TFileFormat {
    std::string Extension;   ///< lower case, without dot
    std::string Description;
    TGraphicClass GraphicClass;
};

/// Holds one graphic (or none).
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return FGraphic.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    /// The graphic as a bitmap; when it is not one, it is replaced by a new empty bitmap.
    TBitmap& Bitmap();
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }

    /// Loads a file through the class registered for its extension. Raises EInvalidGraphic
    /// "Unknown picture file extension (.<ext>)" for an unregistered one, and whatever the
    /// class raises for a bad file (the picture then keeps its former graphic).
    void LoadFromFile(const std::string& fileName);

    /// Called after every change of the graphic.
    std::function<void()> OnChange;

    static void RegisterFileFormat(const std::string& extension, const std::string& description, TGraphicClass cls);
    /// Removes every extension registered for the class.
    static void UnregisterGraphicClass(TGraphicClass cls);
    static std::vector<TFileFormat> FileFormats();

private:
    void Changed();
    std::unique_ptr<TGraphic> FGraphic;
};

TGraphicClass BitmapClass();
