// Metafile recording and stretched replay.
#include "Metafile.h"

#include <cmath>

void TMetafile::LoadFromStream(TStream&) { throw EInvalidGraphic("Metafiles cannot be loaded from files"); }
void TMetafile::SaveToStream(TStream&) { throw EInvalidGraphic("Metafiles cannot be saved to files"); }

void TMetafile::Draw(TCanvas& canvas, const TRect& rect) const {
    if (FWidth <= 0 || FHeight <= 0) return;
    TPoint corners[2] = {{rect.Left, rect.Top}, {rect.Right, rect.Bottom}};
    canvas.LPtoDP(corners, 2);
    // Records are placed from the target's top-left corner, upright, whatever the mapping mode.
    const TPoint offset = canvas.SheetOffset();
    const int left = std::min(corners[0].x, corners[1].x) + offset.x;
    const int top = std::min(corners[0].y, corners[1].y) + offset.y;
    const double sx = std::abs(corners[1].x - corners[0].x) / double(FWidth);
    const double sy = std::abs(corners[1].y - corners[0].y) / double(FHeight);
    auto X = [&](int v) { return left + int(std::lround(v * sx)); };
    auto Y = [&](int v) { return top + int(std::lround(v * sy)); };
    for (const TCanvasRecord& original : FRecords) {
        TCanvasRecord r = original;
        r.Device = TRect{X(r.Device.Left), Y(r.Device.Top), X(r.Device.Right), Y(r.Device.Bottom)};
        if (r.Kind == TRecordKind::Text) r.Font.PixelSize = std::max(1, int(std::lround(r.Font.PixelSize * sy)));
        r.PenWidth = std::max(1, int(std::lround(r.PenWidth * sx)));
        TPoint logical[2] = {{r.Device.Left - offset.x, r.Device.Top - offset.y},
                             {r.Device.Right - offset.x, r.Device.Bottom - offset.y}};
        canvas.DPtoLP(logical, 2);
        r.Logical = TRect{logical[0].x, logical[0].y, logical[1].x, logical[1].y};
        canvas.PlayRecord(r);
    }
}

std::string TMetafile::TextDump() const {
    std::string out;
    for (const TCanvasRecord& r : FRecords)
        if (r.Kind == TRecordKind::Text) out += r.Text + "\n";
    return out;
}

namespace {
TDeviceCaps ScreenCaps(const TMetafile& m) {
    TDeviceCaps caps;
    caps.PhysicalWidth = caps.HorzRes = m.Width();
    caps.PhysicalHeight = caps.VertRes = m.Height();
    return caps;
}
}  // namespace

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, const TDeviceCaps* reference)
    : TCanvas(nullptr, reference ? *reference : ScreenCaps(metafile)), FRecorder(metafile) {
    Attach(&FRecorder, DeviceCaps());
}

TMetafileCanvas::~TMetafileCanvas() = default;
