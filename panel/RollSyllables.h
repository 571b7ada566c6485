#pragma once

#include <QFontMetricsF>
#include <QRectF>
#include <QString>

// A syllable as the sing-back roll writes it under its note's bar: centred under the bar and
// kept within the note's room (from its bar's start to the next bar's), shortened when the room
// is narrow. A syllable's closing punctuation ("花，" "star,") goes first, then the end of a
// Latin syllable gives way to "…"; what cannot show a letter is left out.
struct FittedSyllable {
  QString text;  // empty: nothing fits
  QRectF box;
};

// `syllable` fitted under a bar whose centre is `centre`, in the room [left, right), its text's
// top at `top`, measured with `metrics`.
FittedSyllable FitSyllable(const QString& syllable, const QFontMetricsF& metrics, double centre,
                           double left, double right, double top);
