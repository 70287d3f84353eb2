// Metafiles: recorded lists of canvas calls in the device pixels of the recording canvas, replayed
// onto any canvas stretched into any rectangle. The print preview renders its pages into them and
// the recording printer keeps each page as one; tests read the records back.
#pragma once

#include "Canvas.h"

#include <vector>

/// A recorded page. Width and Height are its size in device pixels of the recording.
class TMetafile : public TGraphic {
public:
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    bool Empty() const override { return FRecords.empty() && FWidth == 0 && FHeight == 0; }
    void SetWidth(int width) { FWidth = width; }
    void SetHeight(int height) { FHeight = height; }
    void Clear() { FRecords.clear(); }

    const std::vector<TCanvasRecord>& Records() const { return FRecords; }
    void Add(TCanvasRecord record) { FRecords.push_back(std::move(record)); }

    /// Metafiles are not read from or written to files; both raise EInvalidGraphic.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    /// Replays every record scaled from (0, 0, Width, Height) into rect.
    void Draw(TCanvas& canvas, const TRect& rect) const override;

    /// Every text record's text in order, one per line (for tests and diagnostics).
    std::string TextDump() const;

    /// The page drawn on white at width x height pixels, lines, boxes and pictures without
    /// smoothing, as 8-bit red, green and blue values row by row from the top: with the same
    /// fonts and toolkit the same records give the same pixels (for tests comparing pages).
    std::vector<unsigned char> Rasterise(int width, int height) const;

private:
    int FWidth = 0, FHeight = 0;
    std::vector<TCanvasRecord> FRecords;
};

/// A canvas recording into a metafile. Device capabilities are those of `reference` (a screen of
/// 96 dots per inch the size of the metafile when none is given).
class TMetafileCanvas : public TCanvas {
public:
    explicit TMetafileCanvas(TMetafile& metafile, const TDeviceCaps* reference = nullptr);
    ~TMetafileCanvas() override;

private:
    class Recorder : public TCanvasBackend {
    public:
        explicit Recorder(TMetafile& m) : FMetafile(m) {}
        void Play(const TCanvasRecord& r) override { FMetafile.Add(r); }

    private:
        TMetafile& FMetafile;
    };
    Recorder FRecorder;
};
