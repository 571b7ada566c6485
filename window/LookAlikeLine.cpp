#include "window/LookAlikeLine.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <string>

#include "notation/LookAlikes.h"
#include "notation/TextPosition.h"
#include "window/ScoreEdit.h"

namespace {

const QColor kWarningColour(0xB0, 0x3A, 0x00);

QString PlaceText(const TextPosition& at) {
  return QStringLiteral("第 %1 行第 %2 列").arg(at.line).arg(at.column);
}

}  // namespace

CLookAlikeLine::CLookAlikeLine(QPlainTextEdit& edit, QWidget* parent)
    : QLabel(parent), edit_(edit) {
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setObjectName(QStringLiteral("lookAlikeLine"));
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, kWarningColour);
  setPalette(palette);

  typingPause_.setSingleShot(true);
  typingPause_.setInterval(kTypingPauseMs);
  connect(&typingPause_, &QTimer::timeout, this, [this] { Refresh(); });
  connect(edit_.document(), &QTextDocument::contentsChange, this,
          [this](int, int removed, int added) {
            if (removed != 0 || added != 0) typingPause_.start();
          });
}

void CLookAlikeLine::Refresh() {
  typingPause_.stop();
  const QByteArray utf8 = edit_.toPlainText().toUtf8();
  const std::string text(utf8.constData(), static_cast<size_t>(utf8.size()));
  warnings_.clear();
  QString first;
  for (const LookAlikeWarning& warning : FindLookAlikes(text)) {
    const QString place = PlaceText(PositionOf(text, warning.offset));
    const QString typed = QString::fromStdString(
        text.substr(static_cast<size_t>(warning.offset), static_cast<size_t>(warning.length)));
    const QString meant = QString::fromStdString(warning.suggestion);
    if (first.isEmpty()) first = QStringLiteral("%1：“%2”应写作 %3").arg(place, typed, meant);
    warnings_ << QStringLiteral("%1：%2（应写作 %3）")
                     .arg(place, QString::fromStdString(warning.message), meant);
  }
  if (warnings_.size() > 1) first += QStringLiteral("（另有 %1 处）").arg(warnings_.size() - 1);
  setText(first);
  setToolTip(warnings_.join(QLatin1Char('\n')));
}
