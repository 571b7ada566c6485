// Draws the program's icon, a white eighth note over the numeral 1 of numbered notation
// on a rounded blue square, as PNG pictures of 16 to 256 pixels (icons/hicolor/scalable holds
// the same drawing as SVG):
//   tunwick_draw_icon OUTPUT_FOLDER   writes OUTPUT_FOLDER/NxN/apps/tunwick.png

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Designed on a 48-unit square.
  painter.scale(size / 48.0, size / 48.0);

  QLinearGradient background(0, 0, 0, 48);
  background.setColorAt(0.0, QColor(0x3A, 0x8E, 0xE6));
  background.setColorAt(1.0, QColor(0x1F, 0x4E, 0xA8));
  painter.setPen(Qt::NoPen);
  painter.setBrush(background);
  painter.drawRoundedRect(QRectF(1, 1, 46, 46), 9, 9);

  painter.setBrush(Qt::white);
  // Note head, tilted.
  painter.save();
  painter.translate(17, 34);
  painter.rotate(-22);
  painter.drawEllipse(QRectF(-8.5, -6, 17, 12));
  painter.restore();
  // Stem.
  painter.drawRect(QRectF(22.5, 9, 3.8, 25));
  // Flag.
  QPainterPath flag;
  flag.moveTo(26.3, 9);
  flag.cubicTo(28, 15, 38, 16, 36, 27);
  flag.cubicTo(35.5, 21, 31, 19, 26.3, 18.5);
  flag.closeSubpath();
  painter.drawPath(flag);

  if (size >= 32) {
    // The numeral 1 of numbered notation.
    painter.setBrush(QColor(0xFF, 0xD8, 0x4A));
    QPainterPath one;
    one.moveTo(38.5, 27);
    one.lineTo(41.5, 27);
    one.lineTo(41.5, 41);
    one.lineTo(44, 41);
    one.lineTo(44, 43.5);
    one.lineTo(35.5, 43.5);
    one.lineTo(35.5, 41);
    one.lineTo(38.5, 41);
    one.lineTo(38.5, 31);
    one.lineTo(35.5, 32.5);
    one.lineTo(35.5, 30);
    one.closeSubpath();
    painter.drawPath(one);
  }
  painter.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tunwick_draw_icon OUTPUT_FOLDER\n");
    return 2;
  }
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const QString folder =
        QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/tunwick.png");
    if (!DrawIcon(size).save(path)) {
      std::fprintf(stderr, "tunwick_draw_icon: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
