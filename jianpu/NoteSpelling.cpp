#include "jianpu/NoteSpelling.h"

#include <cmath>

namespace jianpu {

namespace {

constexpr double kTolerance = 1e-9;

bool Near(double a, double b) { return std::fabs(a - b) < kTolerance; }

// The degree, and whether it is raised, of each semitone above the key note.
struct Step {
  int32_t degree;
  bool sharp;
};
constexpr Step kSteps[12] = {{1, false}, {1, true},  {2, false}, {2, true},
                             {3, false}, {4, false}, {4, true},  {5, false},
                             {5, true},  {6, false}, {6, true},  {7, false}};

// The smallest number of underlines and dots that write `beats` (below one beat) with one
// head: a power of two, or one with one or two dots. Returns false when none does.
bool WriteShort(double beats, WrittenLength& head) {
  for (int32_t underlines = 0; underlines <= 8; ++underlines) {
    const double plain = std::ldexp(1.0, -underlines);
    if (Near(beats, plain)) {
      head = {underlines, 0, 0};
      return true;
    }
    if (Near(beats, plain * 1.5)) {
      head = {underlines, 0, 1};
      return true;
    }
    if (Near(beats, plain * 1.75)) {
      head = {underlines, 0, 2};
      return true;
    }
  }
  return false;
}

// The longest single head below one beat that is not longer than `beats`.
WrittenLength LargestShortHead(double beats) {
  for (int32_t underlines = 1;; ++underlines) {
    const double plain = std::ldexp(1.0, -underlines);
    for (int32_t dots = 2; dots >= 0; --dots) {
      if (plain * (dots == 2 ? 1.75 : dots == 1 ? 1.5 : 1.0) <= beats + kTolerance)
        return {underlines, 0, dots};
    }
  }
}

}  // namespace

double HeadBeats(const WrittenLength& head) {
  const double base = std::ldexp(1.0, -head.underlines);
  const double dotted = head.dots == 1 ? 0.5 : head.dots == 2 ? 0.75 : 0.0;
  return base * (1.0 + head.dashes + dotted);
}

WrittenPitch WritePitch(TokenSpan token) {
  const int32_t note = PitchNumber(token);
  if (note == kRestPitch) return {};
  const int32_t fromC = note - 60;
  const int32_t octave = fromC >= 0 ? fromC / 12 : -((11 - fromC) / 12);
  const Step step = kSteps[fromC - 12 * octave];
  return {step.degree, octave, step.sharp};
}

bool IsTripletLength(double beats) {
  return Near(beats, 2.0 / 3.0) || Near(beats, 1.0 / 3.0) || Near(beats, 1.0 / 6.0) ||
         Near(beats, 1.0 / 12.0);
}

std::vector<WrittenLength> WriteLength(double beats) {
  if (IsTripletLength(beats)) beats *= 1.5;
  std::vector<WrittenLength> heads;
  if (beats < kTolerance) {
    heads.push_back({});
    return heads;
  }
  const double whole = std::floor(beats + kTolerance);
  double rest = beats - whole;
  if (whole >= 1.0) {
    // A dash for each beat after the first; a dot after the last adds half a beat.
    WrittenLength head{0, static_cast<int32_t>(whole) - 1, 0};
    if (Near(rest, 0.5)) {
      head.dots = 1;
      rest = 0.0;
    } else if (Near(rest, 0.75)) {
      head.dots = 2;
      rest = 0.0;
    }
    heads.push_back(head);
  }
  // What is left below a beat: the largest head that fits, tied to the next, until none is left.
  while (rest > kTolerance) {
    WrittenLength head;
    if (WriteShort(rest, head)) {
      heads.push_back(head);
      break;
    }
    const WrittenLength largest = LargestShortHead(rest);
    heads.push_back(largest);
    rest -= HeadBeats(largest);
  }
  return heads;
}

}  // namespace jianpu
