// z900-skinraster: turns one vector skin source into the images the program loads.
//
//   z900-skinraster [--opaque] [--single] SOURCE.svg WIDTH HEIGHT OUTPUT[:CLASS,CLASS…] …
//
// Each OUTPUT is written at the given size and, unless --single, at twice that size
// (NAME@2x.EXT). The classes
// after the colon are hidden in that output, which is how one drawing yields the normal, hover
// and pressed pictures of a window. With --opaque, and for every ".bmp" output, the images are
// 24-bit: fully transparent parts of the drawing become the key colour RGB(1, 255, 31) that
// marks the outside of a window, and partly transparent edge pixels are settled against black so
// no key-coloured fringe remains. The window's outline comes from the picture at its own size;
// the @2x picture is drawn to it: near that outline it has no key colour, so that no fringe shows
// inside the outline on a screen of ratio 2, nor of 1.5 (where Qt rounds the outline's edges
// outwards by up to a pixel). Other PNG outputs keep their alpha channel.
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/crc32.h"

namespace {

constexpr QRgb kKeyColour = qRgb(1, 255, 31);
constexpr int kEdgeAlpha = 128;

struct Output {
  QString path;
  QStringList hidden_classes;
};

// Inserts a style sheet right after the opening svg tag that hides the given classes.
QByteArray WithHiddenClasses(const QByteArray& svg, const QStringList& classes) {
  if (classes.isEmpty()) return svg;
  const qsizetype open = svg.indexOf("<svg");
  const qsizetype close = open < 0 ? -1 : svg.indexOf('>', open);
  if (close < 0) return svg;
  QByteArray style = "<style type=\"text/css\">";
  for (const QString& name : classes) style += "." + name.toUtf8() + "{display:none}";
  style += "</style>";
  QByteArray result = svg;
  result.insert(close + 1, style);
  return result;
}

QImage Render(const QByteArray& svg, int width, int height) {
  QSvgRenderer renderer(svg);
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  if (!renderer.isValid()) return {};
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  renderer.render(&painter, QRectF(0, 0, width, height));
  return image;
}

// A pixel of the drawing blended against black, the frame's own darkest tone; never the key.
QRgb Settled(QRgb pixel) {
  const int alpha = qAlpha(pixel);
  const QRgb settled =
      qRgb(qRed(pixel) * alpha / 255, qGreen(pixel) * alpha / 255, qBlue(pixel) * alpha / 255);
  return settled == kKeyColour ? qRgb(0, 255, 31) : settled;
}

bool IsKey(const QImage& image, int x, int y) {
  return (image.pixel(x, y) & 0xFFFFFF) == (kKeyColour & 0xFFFFFF);
}

// 24 bits, the outside in the key colour; edge pixels kept when mostly covered.
QImage Opaque(const QImage& drawing) {
  const QImage straight = drawing.convertToFormat(QImage::Format_ARGB32);
  QImage result(straight.size(), QImage::Format_RGB888);
  for (int y = 0; y < straight.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
    for (int x = 0; x < straight.width(); ++x) {
      result.setPixel(x, y, qAlpha(in[x]) < kEdgeAlpha ? kKeyColour : Settled(in[x]));
    }
  }
  return result;
}

// The opaque @2x picture drawn to the outline of the one at its own size: a key pixel whose
// pixel of the small picture, or one next to it, is inside the shape is settled instead.
QImage MatchOutline(const QImage& large, const QImage& drawing, const QImage& small) {
  const QImage straight = drawing.convertToFormat(QImage::Format_ARGB32);
  QImage result = large;
  const auto near_shape = [&small](int sx, int sy) {
    for (int y = std::max(sy - 1, 0); y <= std::min(sy + 1, small.height() - 1); ++y) {
      for (int x = std::max(sx - 1, 0); x <= std::min(sx + 1, small.width() - 1); ++x) {
        if (!IsKey(small, x, y)) return true;
      }
    }
    return false;
  };
  for (int y = 0; y < result.height(); ++y) {
    for (int x = 0; x < result.width(); ++x) {
      if (IsKey(result, x, y) && near_shape(x / 2, y / 2)) {
        result.setPixel(x, y, Settled(straight.pixel(x, y)));
      }
    }
  }
  return result;
}

QString At2x(const QString& path) {
  const qsizetype dot = path.lastIndexOf('.');
  return dot < 0 ? path + "@2x" : path.left(dot) + "@2x" + path.mid(dot);
}

bool IsBitmap(const QString& path) { return path.endsWith(".bmp", Qt::CaseInsensitive); }

void AppendBigEndian(QByteArray& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes.append(static_cast<char>(value >> shift));
}

void AppendChunk(QByteArray& file, const char (&type)[5], const QByteArray& data) {
  AppendBigEndian(file, static_cast<std::uint32_t>(data.size()));
  const QByteArray typed = QByteArray(type, 4) + data;
  file.append(typed);
  AppendBigEndian(file, z900::platform::Crc32(
                            std::span(reinterpret_cast<const std::uint8_t*>(typed.constData()),
                                      static_cast<std::size_t>(typed.size()))));
}

// A PNG whose rows carry no filter. The pictures are flat drawings that zlib packs as small
// either way, and unfiltered rows are the cheapest to decode: the program decodes the window's
// pictures while the user waits for it to show.
bool WritePng(const QImage& image, const QString& path) {
  const bool alpha = image.hasAlphaChannel();
  const QImage pixels =
      image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
  const qsizetype row_bytes = qsizetype{pixels.width()} * (alpha ? 4 : 3);
  QByteArray rows;
  rows.reserve((row_bytes + 1) * pixels.height());
  for (int y = 0; y < pixels.height(); ++y) {
    rows.append('\0');  // filter type None
    rows.append(reinterpret_cast<const char*>(pixels.constScanLine(y)), row_bytes);
  }
  QByteArray header;
  AppendBigEndian(header, static_cast<std::uint32_t>(pixels.width()));
  AppendBigEndian(header, static_cast<std::uint32_t>(pixels.height()));
  // 8 bits a sample; RGB or RGBA; deflate; the standard row filters (each row says which); no
  // interlace.
  const char format[] = {8, static_cast<char>(alpha ? 6 : 2), 0, 0, 0};
  header.append(format, sizeof format);
  QByteArray file("\x89PNG\r\n\x1a\n", 8);
  AppendChunk(file, "IHDR", header);
  AppendChunk(file, "IDAT", qCompress(rows, 9).mid(4));  // qCompress puts the size in front
  AppendChunk(file, "IEND", {});
  QFile out(path);
  return out.open(QIODevice::WriteOnly) && out.write(file) == file.size();
}

bool Write(const QImage& image, const QString& path) {
  return IsBitmap(path) ? image.save(path, "BMP") : WritePng(image, path);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "z900-skinraster: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // A build step needs no runtime folder; Qt's notice about its absence is noise in the log.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (!message.contains(QLatin1String("XDG_RUNTIME_DIR"))) {
      std::fprintf(stderr, "%s\n", qPrintable(message));
    }
    if (type == QtFatalMsg) std::abort();
  });
  QGuiApplication app(argc, argv);
  QStringList args = app.arguments();
  bool opaque = false;
  bool single = false;
  while (args.size() > 1 && (args[1] == "--opaque" || args[1] == "--single")) {
    (args[1] == "--opaque" ? opaque : single) = true;
    args.removeAt(1);
  }
  if (args.size() < 5) {
    return Fail(
        "usage: z900-skinraster [--opaque] [--single] SOURCE.svg WIDTH HEIGHT "
        "OUTPUT[:CLASS,…] …");
  }
  QFile source(args[1]);
  if (!source.open(QIODevice::ReadOnly)) return Fail("cannot read " + args[1].toStdString());
  const QByteArray svg = source.readAll();
  bool width_ok = false;
  bool height_ok = false;
  const int width = args[2].toInt(&width_ok);
  const int height = args[3].toInt(&height_ok);
  if (!width_ok || !height_ok || width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    return Fail("bad size " + args[2].toStdString() + " x " + args[3].toStdString());
  }
  for (qsizetype i = 4; i < args.size(); ++i) {
    const qsizetype colon = args[i].indexOf(':');
    Output output{colon < 0 ? args[i] : args[i].left(colon), {}};
    if (colon >= 0) output.hidden_classes = args[i].mid(colon + 1).split(',', Qt::SkipEmptyParts);
    const QByteArray variant = WithHiddenClasses(svg, output.hidden_classes);
    const bool keyed = opaque || IsBitmap(output.path);
    QImage small;
    for (int scale = 1; scale <= (single ? 1 : 2); ++scale) {
      const QImage drawing = Render(variant, width * scale, height * scale);
      if (drawing.isNull()) return Fail(args[1].toStdString() + " is not a valid drawing");
      QImage image = drawing.convertToFormat(QImage::Format_ARGB32);
      if (keyed)
        image = scale == 1 ? Opaque(drawing) : MatchOutline(Opaque(drawing), drawing, small);
      if (scale == 1) small = image;
      const QString path = scale == 1 ? output.path : At2x(output.path);
      if (!Write(image, path)) return Fail("cannot write " + path.toStdString());
    }
  }
  return 0;
}
