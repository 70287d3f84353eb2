// The picture list of the artwork generator and the routine that writes it out.
#include "Artwork.h"

#include "Flags.h"
#include "Glyphs.h"
#include "Logos.h"
#include "PictureFiles.h"

#include <filesystem>
#include <stdexcept>

namespace artwork {

const std::vector<Picture>& pictureList() {
    static const std::vector<Picture> list = [] {
        std::vector<Picture> pictures = {
            {"imSplash", false, 360, 240, paintSplash},
            {"imTolmLogo", false, 300, 100, paintMakerLogo},
            {"imNormalLogo", false, 300, 100, paintMakerLogo},
            {"imMakerLogo", false, 600, 200, paintMakerLogo},
            {"imInverseLogo", false, 600, 200, paintInverseLogo},
            {"imCTLogo", false, 360, 120, paintProgramLogo},
            {"imTick", false, 64, 64, paintTick},
            {"btnChecksheet", false, GlyphSize, GlyphSize, paintChecksheetGlyph},
            {"btnPrePrinted", false, GlyphSize, GlyphSize, paintPrinterGlyph},
            {"btnTraining", false, GlyphSize, GlyphSize, paintTrainingGlyph},
            {"btnSetup", false, GlyphSize, GlyphSize, paintSettingsGlyph},
            {"btnExit", false, GlyphSize, GlyphSize, paintExitGlyph},
        };
        for (const FlagSpec& flag : flagTable())
            pictures.push_back({flag.Component, flag.Jpeg, FlagWidth, FlagHeight,
                                [&flag](int w, int h) { return paintFlag(flag, w, h); }});
        return pictures;
    }();
    return list;
}

void writeAll(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw std::runtime_error("cannot create " + folder);
    for (const Picture& p : pictureList()) {
        const Image image = p.Paint(p.Width, p.Height);
        const std::string path = folder + "/" + p.fileName();
        if (p.Jpeg)
            writeJpeg(image, path, JpegQuality);
        else
            writeBmp(image, path);
    }
}

}  // namespace artwork
