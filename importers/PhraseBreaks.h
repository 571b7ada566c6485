#pragma once

#include <vector>

#include "importers/ImportedSong.h"

// Where an imported melody's phrases begin, for formats that do not mark them: at the first
// note after a phrase's end (a fermata or a breath mark), after rests of a beat or more, else
// at the first note four bars on, a pickup joining the first phrase. A phrase always begins
// on a note, so no note is cut in two.

namespace importers {

constexpr int kPhraseBars = 4;

// `marked`: the start beats of the notes that end a phrase. `bars`: where each bar begins, in
// order, the pickup's first.
std::vector<double> PhraseStarts(const ImportedVoice& melody, const std::vector<BarMark>& bars,
                                 double pickupBeats, const std::vector<double>& marked);

}  // namespace importers
