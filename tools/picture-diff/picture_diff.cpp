// z900-picture-diff: compares two folders of pictures, such as the galleries the window program
// draws on two systems.
//
//   z900-picture-diff [--tolerance N] [--max-share PERCENT] FOLDER_A FOLDER_B
//
// For every PNG picture of either folder (by its path under the folder), one line: its size, how
// many pixels differ by more than N in a colour channel or alpha (0 unless given), that share of
// the picture, and the largest channel difference. Then the picture with the largest share.
// Exit status 0 when both folders hold the same pictures at the same sizes and no share exceeds
// PERCENT (100 unless given); 1 otherwise; 2 for a wrong command line.
#include <QDirIterator>
#include <QImage>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

struct Difference {
  long long differing = 0;
  int largest = 0;
  double share = 0;  // percent of the picture's pixels
};

Difference Compare(const QImage& a, const QImage& b, int tolerance) {
  Difference result;
  for (int y = 0; y < a.height(); ++y) {
    const auto* row_a = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* row_b = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      const int largest = std::max({std::abs(qRed(row_a[x]) - qRed(row_b[x])),
                                    std::abs(qGreen(row_a[x]) - qGreen(row_b[x])),
                                    std::abs(qBlue(row_a[x]) - qBlue(row_b[x])),
                                    std::abs(qAlpha(row_a[x]) - qAlpha(row_b[x]))});
      result.largest = std::max(result.largest, largest);
      if (largest > tolerance) ++result.differing;
    }
  }
  const long long pixels = static_cast<long long>(a.width()) * a.height();
  result.share = pixels > 0 ? 100.0 * static_cast<double>(result.differing) / static_cast<double>(pixels) : 0;
  return result;
}

std::set<QString> Pictures(const QString& folder) {
  std::set<QString> names;
  QDirIterator it(folder, {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) names.insert(QDir(folder).relativeFilePath(it.next()));
  return names;
}

int Usage() {
  std::fputs("usage: z900-picture-diff [--tolerance N] [--max-share PERCENT] FOLDER_A FOLDER_B\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int tolerance = 0;
  double max_share = 100;
  QStringList folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--tolerance" || arg == "--max-share") && i + 1 < argc) {
      char* end = nullptr;
      const double value = std::strtod(argv[++i], &end);
      if (*end != '\0' || value < 0) return Usage();
      if (arg == "--tolerance") tolerance = static_cast<int>(value);
      else max_share = value;
    } else if (!arg.empty() && arg[0] != '-') {
      folders.push_back(QString::fromLocal8Bit(argv[i]));
    } else {
      return Usage();
    }
  }
  if (folders.size() != 2) return Usage();

  const std::set<QString> in_a = Pictures(folders[0]);
  const std::set<QString> in_b = Pictures(folders[1]);
  std::set<QString> all = in_a;
  all.insert(in_b.begin(), in_b.end());
  bool same = !all.empty();
  QString worst;
  Difference worst_difference;
  std::printf("%-48s %11s %9s %7s %4s\n", "picture", "size", "differing", "share", "max");
  for (const QString& name : all) {
    const QByteArray shown = name.toUtf8();
    if (!in_a.count(name) || !in_b.count(name)) {
      std::printf("%-48s only in %s\n", shown.constData(),
                  (in_a.count(name) ? folders[0] : folders[1]).toUtf8().constData());
      same = false;
      continue;
    }
    const QImage a =
        QImage(folders[0] + '/' + name).convertToFormat(QImage::Format_ARGB32);
    const QImage b =
        QImage(folders[1] + '/' + name).convertToFormat(QImage::Format_ARGB32);
    if (a.isNull() || b.isNull() || a.size() != b.size()) {
      std::printf("%-48s sizes differ: %dx%d and %dx%d\n", shown.constData(), a.width(),
                  a.height(), b.width(), b.height());
      same = false;
      continue;
    }
    const Difference difference = Compare(a, b, tolerance);
    std::printf("%-48s %5dx%-5d %9lld %6.2f%% %4d\n", shown.constData(), a.width(), a.height(),
                difference.differing, difference.share, difference.largest);
    if (worst.isEmpty() || difference.share > worst_difference.share) {
      worst = name;
      worst_difference = difference;
    }
    if (difference.share > max_share) same = false;
  }
  if (!worst.isEmpty()) {
    std::printf("largest difference: %s, %.2f%% of its pixels (%lld), by up to %d\n",
                worst.toUtf8().constData(), worst_difference.share, worst_difference.differing,
                worst_difference.largest);
  }
  std::printf("%zu pictures compared; %s\n", all.size(),
              same ? "the same set, within the limits" : "they differ beyond the limits");
  return same ? 0 : 1;
}
