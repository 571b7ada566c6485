#include "jianpu/SheetExport.h"

#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>

#include "jianpu/SheetPainter.h"

namespace jianpu {

namespace {

constexpr double kPngDotsPerInch = 150.0;
constexpr double kPagesGap = 12.0;  // between the pages of an SVG or PNG, in points

// Every page on white, one under the other, for the one-picture formats.
void PaintStacked(QPainter& painter, const std::vector<SheetPage>& pages) {
  for (size_t n = 0; n < pages.size(); ++n) {
    const double top = static_cast<double>(n) * (kA4Height + kPagesGap);
    painter.fillRect(QRectF(0.0, top, kA4Width, kA4Height), Qt::white);
    painter.save();
    painter.translate(kPageMargin, top + kPageMargin);
    PaintSheet(painter, pages[n]);
    painter.restore();
  }
}

QSizeF StackedSize(size_t pages) {
  const double count = static_cast<double>(std::max<size_t>(pages, 1));
  return {kA4Width, count * kA4Height + (count - 1.0) * kPagesGap};
}

}  // namespace

bool SheetFormatOf(const std::string& path, SheetFormat& format) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  std::string suffix = path.substr(dot + 1);
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (suffix == "pdf")
    format = SheetFormat::kPdf;
  else if (suffix == "svg")
    format = SheetFormat::kSvg;
  else if (suffix == "png")
    format = SheetFormat::kPng;
  else
    return false;
  return true;
}

std::vector<SheetPage> A4Pages(const Sheet& sheet, const std::string& title) {
  return LayOutPages(sheet, kA4Width - 2 * kPageMargin, kA4Height - 2 * kPageMargin, title);
}

std::string SheetFileBytes(const std::vector<SheetPage>& pages, SheetFormat format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  switch (format) {
    case SheetFormat::kPdf: {
      // One point of the page is one unit of the layout.
      QPdfWriter writer(&buffer);
      writer.setResolution(72);
      writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(0, 0, 0, 0), QPageLayout::Point));
      writer.setCreator(QStringLiteral("Tunwick"));
      QPainter painter(&writer);
      for (size_t n = 0; n < pages.size(); ++n) {
        if (n > 0) writer.newPage();
        painter.save();
        painter.translate(kPageMargin, kPageMargin);
        PaintSheet(painter, pages[n]);
        painter.restore();
      }
      painter.end();
      break;
    }
    case SheetFormat::kSvg: {
      QSvgGenerator svg;
      svg.setOutputDevice(&buffer);
      const QSizeF size = StackedSize(pages.size());
      svg.setSize(size.toSize());
      svg.setViewBox(QRectF(QPointF(0, 0), size));
      svg.setResolution(72);
      QPainter painter(&svg);
      PaintStacked(painter, pages);
      painter.end();
      break;
    }
    case SheetFormat::kPng: {
      const double scale = kPngDotsPerInch / 72.0;
      const QSizeF size = StackedSize(pages.size()) * scale;
      QImage image(size.toSize(), QImage::Format_RGB32);
      image.fill(Qt::white);
      image.setDotsPerMeterX(static_cast<int>(kPngDotsPerInch / 0.0254));
      image.setDotsPerMeterY(static_cast<int>(kPngDotsPerInch / 0.0254));
      QPainter painter(&image);
      painter.scale(scale, scale);
      PaintStacked(painter, pages);
      painter.end();
      image.save(&buffer, "PNG");
      break;
    }
  }
  return bytes.toStdString();
}

}  // namespace jianpu
