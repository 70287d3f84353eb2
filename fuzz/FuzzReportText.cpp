// Fuzz target of the report's text handling: the texts of the service data are outside bytes. The
// first byte picks the column width, the rest is an operation text; it is wrapped into lines, split
// into XML statements and padded as an aligned line would be. Every call must end, keep every
// character of the text (less the breaks it consumes) and give lines that fit the column.
#include "CsReport.h"
#include "Metafile.h"
#include "PdfPrinter.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const TDeviceCaps caps = TPdfPrinter::A4Caps(poPortrait);
    static TMetafile page;
    static TMetafileCanvas canvas(page, &caps);
    static const bool ready = [] {
        canvas.SetMapMode(MM_LOMETRIC);
        canvas.Font.Name = "Arial";
        canvas.Font.Height = -25;
        return true;
    }();
    (void)ready;
    const int width = 1 + data[0] * 8;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::vector<std::string> lines = WrapColumnText(canvas, text, width);
    std::string kept, joined;
    for (char c : text)
        if (c != '^' && c != ' ') kept += c;
    for (const std::string& line : lines) {
        if (line.empty()) std::abort();
        // A line that breaks a word or ends at a blank never exceeds the column by more than the
        // blank it keeps; a line of one character may be wider than a very narrow column.
        const std::string visible = line.substr(0, line.find_last_not_of(' ') + 1);
        if (visible.size() > 1 && canvas.TextWidth(visible) > width) std::abort();
        for (char c : line)
            if (c != '^' && c != ' ') joined += c;
    }
    if (joined != kept) std::abort();

    for (const StatementPiece& piece : SplitStatements(text))
        if (piece.Text.empty() || piece.Text.find('^') != std::string::npos || piece.Text.find('~') != std::string::npos)
            std::abort();
    (void)TrimSmokeLimit(text);
    return 0;
}
