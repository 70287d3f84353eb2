// The Qt painter back end of the canvas, for platform libraries that paint onto Qt devices
// (images, PDF writers, printers, widgets). Not part of the public graphics interface.
#pragma once

#include "Canvas.h"

#include <QImage>
#include <memory>

class QPainter;

/// A back end drawing every record with `painter` (not owned), whose device pixels are the
/// records' device pixels.
std::unique_ptr<TCanvasBackend> CreatePainterBackend(QPainter* painter);

/// The bitmap as a 32-bit image.
QImage ToQImage(const TBitmap& bitmap);
