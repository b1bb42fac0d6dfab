#pragma once

#include <QImage>
#include <QPixmap>
#include <QRegion>

// Shapes made from pictures: the outline of a window and of the slider's thumb.
namespace z900::ui {

// The region of every pixel that is not exactly the transparent key colour RGB(1, 255, 31),
// gathered row by row as runs; an image of nothing but the key colour gives an empty region.
QRegion BitmapToRegion(const QImage& image);

// The outline of a window picture drawn at its pixel ratio, in logical pixels: the logical
// pixels none of whose device pixels is the key colour. Made from the picture that is drawn,
// so no other size of it is decoded.
QRegion PictureOutline(const QPixmap& picture);

// The thumb's shape: transparent pixels count as opaque black, the colour of pixel (0, 0) is the
// key, and every pixel of that colour is cut out of the full rectangle.
QRegion ThumbRegion(const QImage& image);

}  // namespace z900::ui
