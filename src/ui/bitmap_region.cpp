#include "ui/bitmap_region.h"

#include <QPainter>
#include <algorithm>
#include <vector>

#include "ui/skin.h"

namespace z900::ui {
namespace {

// Rectangles are merged into the result in batches, which keeps the union cheap for large
// pictures with many runs.
constexpr std::size_t kBatch = 2000;

// The runs of pixels for which `inside` holds, as a region.
template <typename Inside>
QRegion RunsToRegion(const QImage& image, Inside inside) {
  QRegion result;
  std::vector<QRect> batch;
  batch.reserve(kBatch);
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < image.width()) {
      while (x < image.width() && !inside(row[x])) ++x;
      const int start = x;
      while (x < image.width() && inside(row[x])) ++x;
      if (x > start) batch.emplace_back(start, y, x - start, 1);
      if (batch.size() == kBatch) {
        QRegion part;
        part.setRects(batch.data(), static_cast<int>(batch.size()));
        result += part;
        batch.clear();
      }
    }
  }
  if (!batch.empty()) {
    QRegion part;
    part.setRects(batch.data(), static_cast<int>(batch.size()));
    result += part;
  }
  return result;
}

}  // namespace

QRegion BitmapToRegion(const QImage& image) {
  if (image.isNull()) return {};
  const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
  return RunsToRegion(pixels, [](QRgb pixel) {
    return (pixel & 0xFFFFFF) != (colours::kTransparentKey & 0xFFFFFF);
  });
}

QRegion PictureOutline(const QPixmap& picture) {
  if (picture.isNull()) return {};
  const QImage pixels = picture.toImage().convertToFormat(QImage::Format_RGB32);
  const int ratio = std::max(1, qRound(picture.devicePixelRatio()));
  if (ratio == 1) return BitmapToRegion(pixels);
  // A logical pixel takes the key colour when any of its device pixels has it.
  const QRgb key = colours::kTransparentKey & 0xFFFFFF;
  QImage logical(pixels.width() / ratio, pixels.height() / ratio, QImage::Format_RGB32);
  logical.fill(Qt::black);
  for (int y = 0; y < logical.height() * ratio; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
    auto* target = reinterpret_cast<QRgb*>(logical.scanLine(y / ratio));
    for (int x = 0; x < logical.width() * ratio; ++x) {
      if ((row[x] & 0xFFFFFF) == key) target[x / ratio] = colours::kTransparentKey;
    }
  }
  return BitmapToRegion(logical);
}

QRegion ThumbRegion(const QImage& image) {
  if (image.isNull()) return {};
  QImage pixels(image.size(), QImage::Format_RGB32);
  pixels.fill(Qt::black);
  {
    QPainter painter(&pixels);
    painter.drawImage(0, 0, image);
  }
  const QRgb key = pixels.pixel(0, 0) & 0xFFFFFF;
  return RunsToRegion(pixels, [key](QRgb pixel) { return (pixel & 0xFFFFFF) != key; });
}

}  // namespace z900::ui
