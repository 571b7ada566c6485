#include "importers/PhraseBreaks.h"

#include <algorithm>
#include <cmath>

namespace importers {

namespace {

constexpr double kEpsilon = 1e-6;

long BarIndex(const std::vector<BarMark>& bars, double beat) {
  const auto after = std::upper_bound(bars.begin(), bars.end(), beat + kEpsilon,
                                      [](double b, const BarMark& bar) { return b < bar.beat; });
  return static_cast<long>(after - bars.begin()) - 1;
}

}  // namespace

std::vector<double> PhraseStarts(const ImportedVoice& melody, const std::vector<BarMark>& bars,
                                 double pickupBeats, const std::vector<double>& marked) {
  std::vector<const ImportedNote*> notes;
  for (const ImportedNote& note : melody.notes)
    if (note.key != kRestKey) notes.push_back(&note);
  std::stable_sort(notes.begin(), notes.end(), [](const ImportedNote* a, const ImportedNote* b) {
    return a->start < b->start;
  });
  std::vector<double> sorted = marked;
  std::sort(sorted.begin(), sorted.end());
  // Each note (a chord's first) and whether a phrase ends after it by a mark or a rest.
  std::vector<const ImportedNote*> onsets;
  std::vector<bool> ends;
  double end = 0.0;  // where the notes so far have all ended
  for (size_t i = 0; i < notes.size(); ++i) {
    const ImportedNote& note = *notes[i];
    const bool chord = !onsets.empty() && note.start <= onsets.back()->start + kEpsilon;
    if (!chord) {
      if (!onsets.empty() && note.start - end >= 1.0 - kEpsilon) ends.back() = true;
      onsets.push_back(&note);
      ends.push_back(false);
    }
    const auto mark = std::lower_bound(sorted.begin(), sorted.end(), note.start - kEpsilon);
    ends.back() = ends.back() || (mark != sorted.end() && *mark <= note.start + kEpsilon);
    end = std::max(end, note.start + note.length);
  }
  // The bar of the next phrase end at or after each note: a phrase that ends in the bar after
  // its fourth is not cut just before.
  std::vector<long> nextEndBar(onsets.size(), 0);
  for (size_t i = onsets.size(); i-- > 0;)
    nextEndBar[i] =
        ends[i] || i + 1 == onsets.size() ? BarIndex(bars, onsets[i]->start) : nextEndBar[i + 1];
  std::vector<double> starts;
  long phraseBar = pickupBeats > kEpsilon ? 1 : 0;
  for (size_t i = 1; i < onsets.size(); ++i) {
    const long bar = BarIndex(bars, onsets[i]->start);
    const bool longEnough = bar >= phraseBar + kPhraseBars && nextEndBar[i] > bar + 1;
    if (ends[i - 1] || longEnough) {
      starts.push_back(onsets[i]->start);
      phraseBar = bar;
    }
  }
  return starts;
}

}  // namespace importers
