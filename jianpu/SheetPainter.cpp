#include "jianpu/SheetPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace jianpu {

namespace {

const QColor kInk(0, 0, 0);
const QColor kFaultInk(190, 20, 20);
const QColor kFaultFill(255, 232, 232);
const QColor kPhraseBackground(255, 243, 196);  // as the box lights the phrase
const QColor kNoteBackground(255, 176, 64);     // and the sounding notes
const QColor kRaisedInk(160, 80, 0);

constexpr int kDigitPixels = 15;
constexpr int kSignPixels = 10;
constexpr int kTextPixels = 10;
constexpr int kTitlePixels = 18;
constexpr int kWordsPixels = static_cast<int>(kWordsSize);

QString Text(const std::string& text) { return QString::fromUtf8(text.c_str()); }

// Text with its baseline at `baseline`, centred in [x, x + width].
void CentredText(QPainter& painter, const QFont& font, double x, double width, double baseline,
                 const QString& text) {
  const QFontMetricsF metrics(font);
  painter.setFont(font);
  painter.drawText(QPointF(x + (width - metrics.horizontalAdvance(text)) / 2, baseline), text);
}

// Text drawn as its outline, not as text.
void CentredOutline(QPainter& painter, const QFont& font, double x, double width, double baseline,
                    const QString& text) {
  const QFontMetricsF metrics(font);
  QPainterPath path;
  path.addText(QPointF(x + (width - metrics.horizontalAdvance(text)) / 2, baseline), font, text);
  painter.fillPath(path, painter.pen().color());
}

bool Lit(const SheetItem& item, const SheetLighting& lighting) {
  return item.phrase == lighting.phrase && item.note >= 0 &&
         std::find(lighting.notes.begin(), lighting.notes.end(), item.source) !=
             lighting.notes.end();
}

void Backgrounds(QPainter& painter, const SheetPage& page, const SheetLighting& lighting) {
  painter.setPen(Qt::NoPen);
  for (const SheetItem& item : page.items) {
    if (item.kind == ItemKind::kPhrase && item.phrase == lighting.phrase && lighting.phrase >= 0) {
      painter.setBrush(kPhraseBackground);
      painter.drawRect(QRectF(item.x, item.y, item.width, item.height));
    }
  }
  const QFontMetricsF words(SheetFont(kWordsPixels));
  for (const SheetItem& item : page.items) {
    if (!Lit(item, lighting)) continue;
    painter.setBrush(kNoteBackground);
    if (item.kind == ItemKind::kDigit || item.kind == ItemKind::kDash) {
      painter.drawRoundedRect(QRectF(item.x - 1.5, item.y - 2.0, item.width + 3.0, 15.0), 2.0, 2.0);
    } else if (item.kind == ItemKind::kSyllable) {
      // The syllable's own text, as drawn, with a little room.
      const double width = words.horizontalAdvance(Text(item.text)) + 3.0;
      painter.drawRoundedRect(
          QRectF(item.x + (item.width - width) / 2, item.y - 0.5, width, item.height + 1.0), 2.0,
          2.0);
    }
  }
  painter.setBrush(Qt::NoBrush);
}

// The raised key over the lit phrase: after its key and tempo where it has them, else over
// the first part of the phrase.
void RaisedKey(QPainter& painter, const SheetPage& page, const SheetLighting& lighting) {
  if (lighting.raisedKey.empty()) return;
  painter.setPen(kRaisedInk);
  painter.setFont(SheetFont(kTextPixels, true));
  for (const SheetItem& item : page.items) {
    if (item.kind != ItemKind::kHeader || item.phrase != lighting.phrase) continue;
    const QFontMetricsF metrics(SheetFont(kTextPixels));
    painter.drawText(QPointF(item.x + metrics.horizontalAdvance(Text(item.text)) + 8.0,
                             item.y + item.height - 3.0),
                     Text(lighting.raisedKey));
    return;
  }
  for (const SheetItem& item : page.items) {
    if (item.kind != ItemKind::kPhrase || item.phrase != lighting.phrase) continue;
    painter.drawText(QPointF(item.x + 2.0, item.y - 2.0), Text(lighting.raisedKey));
    return;
  }
}

void Fault(QPainter& painter, const SheetItem& item) {
  painter.setPen(QPen(kFaultInk, 1.0));
  painter.setBrush(kFaultFill);
  painter.drawRect(QRectF(item.x, item.y, item.width, item.height));
  painter.setBrush(Qt::NoBrush);
  painter.setFont(SheetFont(kTextPixels));
  painter.setPen(kInk);
  painter.drawText(QPointF(item.x + 3.0, item.y + 11.0), Text(item.text));
  painter.setPen(kFaultInk);
  painter.drawText(QPointF(item.x + 3.0, item.y + item.height - 4.0), Text(item.message));
}

// The title on one line: smaller for a long one, down to the words' size, then cut short.
void Title(QPainter& painter, const SheetItem& item) {
  const QString title = Text(item.text);
  QFont font = SheetFont(kTitlePixels, true);
  for (int pixels = kTitlePixels - 1;
       pixels >= kWordsPixels && QFontMetricsF(font).horizontalAdvance(title) > item.width;
       --pixels)
    font = SheetFont(pixels, true);
  const QString shown = QFontMetricsF(font).elidedText(title, Qt::ElideRight, item.width);
  CentredText(painter, font, item.x, item.width, item.y + item.height - 4.0, shown);
}

}  // namespace

QFont SheetFont(int pixels, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Zen Hei")});
  font.setPixelSize(pixels);
  font.setBold(bold);
  // Unshaped: "fi" stays two letters, so that a PDF's text reads titles and words back.
  font.setStyleStrategy(
      static_cast<QFont::StyleStrategy>(QFont::PreferAntialias | QFont::PreferNoShaping));
  return font;
}

void PaintSheet(QPainter& painter, const SheetPage& page, const SheetLighting& lighting) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  Backgrounds(painter, page, lighting);
  const QFont digitFont = SheetFont(kDigitPixels);
  const QFont signFont = SheetFont(kSignPixels);
  const QFont textFont = SheetFont(kTextPixels);
  const QFont wordsFont = SheetFont(kWordsPixels);
  for (const SheetItem& item : page.items) {
    const QRectF box(item.x, item.y, item.width, item.height);
    painter.setPen(kInk);
    painter.setBrush(Qt::NoBrush);
    switch (item.kind) {
      case ItemKind::kDigit:
        CentredText(painter, digitFont, item.x, item.width, item.y + item.height, Text(item.text));
        break;
      case ItemKind::kSharp:
        CentredText(painter, signFont, item.x, item.width, item.y + item.height - 1.0,
                    QStringLiteral("♯"));
        break;
      case ItemKind::kOctaveDot:
      case ItemKind::kDot:
        painter.setPen(Qt::NoPen);
        painter.setBrush(kInk);
        painter.drawEllipse(box);
        break;
      case ItemKind::kUnderline:
      case ItemKind::kDash:
        painter.fillRect(box, kInk);
        break;
      case ItemKind::kTie: {
        QPainterPath arc;
        arc.moveTo(item.x, item.y + item.height);
        arc.quadTo(item.x + item.width / 2, item.y - item.height * 0.6, item.x + item.width,
                   item.y + item.height);
        painter.setPen(QPen(kInk, 0.8));
        painter.drawPath(arc);
        break;
      }
      case ItemKind::kTriplet: {
        painter.setPen(QPen(kInk, 0.7));
        const double mid = item.x + item.width / 2;
        const double y = item.y + item.height / 2;
        painter.drawLine(QPointF(item.x, item.y + item.height), QPointF(item.x, y));
        painter.drawLine(QPointF(item.x, y), QPointF(mid - 4.0, y));
        painter.drawLine(QPointF(mid + 4.0, y), QPointF(item.x + item.width, y));
        painter.drawLine(QPointF(item.x + item.width, y),
                         QPointF(item.x + item.width, item.y + item.height));
        painter.setPen(kInk);
        CentredOutline(painter, SheetFont(8), mid - 4.0, 8.0, y + 3.0, Text(item.text));
        break;
      }
      case ItemKind::kBarLine:
        painter.setPen(QPen(kInk, 0.9));
        painter.drawLine(QPointF(item.x, item.y), QPointF(item.x, item.y + item.height));
        if (item.level == 2) {
          painter.fillRect(QRectF(item.x + 2.0, item.y, 2.0, item.height), kInk);
        }
        break;
      case ItemKind::kHeader:
        painter.setFont(textFont);
        painter.drawText(QPointF(item.x, item.y + item.height - 3.0), Text(item.text));
        break;
      case ItemKind::kFault:
        Fault(painter, item);
        break;
      case ItemKind::kPhrase:
        break;
      case ItemKind::kTitle:
        Title(painter, item);
        break;
      case ItemKind::kSyllable:
        CentredText(painter, wordsFont, item.x, item.width, item.y + kWordsSize - 0.5,
                    Text(item.text));
        break;
      case ItemKind::kExtender:
        painter.fillRect(box, kInk);
        break;
      case ItemKind::kPageNumber:
        CentredOutline(painter, textFont, item.x, item.width, item.y + item.height - 2.0,
                       Text(item.text));
        break;
    }
  }
  RaisedKey(painter, page, lighting);
  painter.restore();
}

}  // namespace jianpu
