#include "importers/NoteTokens.h"

#include <algorithm>
#include <cmath>

namespace importers {

namespace {

constexpr int kSixteenth = kTicksPerBeat / 16;  // 3 ticks
constexpr int kTwelfth = kTicksPerBeat / 12;    // 4 ticks
constexpr int kMaxTokenBeats = 9;
constexpr int kMaxFractionTokenBeats = 6;

// The do= letter and its sign, and the offset of its degree 1 from middle C, from 7 flats to
// 7 sharps.
struct KeyRow {
  const char* name;
  int tonic;
};
constexpr KeyRow kKeys[15] = {
    {"Cb", 59}, {"Gb", 66}, {"Db", 61}, {"Ab", 68}, {"Eb", 63}, {"Bb", 70}, {"F", 65},  {"C", 60},
    {"G", 67},  {"D", 62},  {"A", 69},  {"E", 64},  {"B", 71},  {"F#", 66}, {"C#", 61},
};

const KeyRow& Key(int fifths) {
  const int index = fifths < -7 ? 0 : fifths > 7 ? 14 : fifths + 7;
  return kKeys[index];
}

// Each semitone above degree 1 as a degree and whether it is sharpened.
constexpr int kDegree[12] = {1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6, 7};
constexpr bool kSharp[12] = {false, true,  false, true,  false, false,
                             true,  false, true,  false, true,  false};

// A binary fraction of `sixteenths` sixteenths of a beat (0..15) as decimal places ".1011".
std::string BinaryPlaces(int sixteenths) {
  std::string places;
  for (int bit = 8; bit >= 1 && sixteenths > 0; bit /= 2) {
    places += (sixteenths & bit) ? '1' : '0';
    sixteenths &= ~bit;
  }
  return places.empty() ? "" : "." + places;
}

}  // namespace

long SnapToGrid(double beats) {
  const double ticks = beats * kTicksPerBeat;
  const long bySixteenth = std::lround(ticks / kSixteenth) * kSixteenth;
  const long byTwelfth = std::lround(ticks / kTwelfth) * kTwelfth;
  return std::fabs(ticks - bySixteenth) <= std::fabs(ticks - byTwelfth) ? bySixteenth : byTwelfth;
}

namespace {

// The tokens for `whole` beats, `sixteenths` of a beat and `twelfths` of a beat.
std::vector<std::string> TokensOf(long whole, long sixteenths, long twelfths) {
  std::vector<std::string> tokens;
  whole += sixteenths / 16;
  sixteenths %= 16;
  // The whole beats and the binary fraction: one token. Longer notes begin with tokens of
  // whole beats: a fraction is read exactly only behind at most six digits.
  const long most = sixteenths > 0 ? kMaxFractionTokenBeats : kMaxTokenBeats;
  for (long ahead = whole > most ? whole - most : 0; ahead > 0;) {
    const long beats = std::min<long>(ahead, kMaxTokenBeats);
    tokens.push_back("1" + std::string(static_cast<size_t>(beats - 1), '0'));
    ahead -= beats;
    whole -= beats;
  }
  if (whole > 0 || sixteenths > 0) {
    const std::string integer = whole > 0 ? "1" + std::string(whole - 1, '0') : "0";
    tokens.push_back(integer + BinaryPlaces(static_cast<int>(sixteenths)));
  }
  // The triplet part, largest first: 2/3, 1/3, 1/6, 1/12 of a beat.
  static const char* const kTriplets[4] = {"3", "0.3", "0.03", "0.003"};
  static const long kTripletTwelfths[4] = {8, 4, 2, 1};
  for (int i = 0; i < 4; ++i) {
    while (twelfths >= kTripletTwelfths[i]) {
      tokens.push_back(kTriplets[i]);
      twelfths -= kTripletTwelfths[i];
    }
  }
  return tokens;
}

}  // namespace

std::vector<std::string> LengthTokens(long ticks) {
  std::vector<std::string> best;
  if (ticks <= 0) return best;
  // Split the length into whole-and-binary ticks and twelfths of a beat every way the grid
  // allows within the last beat or two; the fewest tokens win.
  for (long twelfths = 0; twelfths * kTwelfth <= ticks && twelfths < 24; ++twelfths) {
    const long binary = ticks - twelfths * kTwelfth;
    if (binary % kSixteenth != 0) continue;
    const long whole = binary / kTicksPerBeat;
    const long sixteenths = (binary % kTicksPerBeat) / kSixteenth;
    std::vector<std::string> tokens = TokensOf(whole, sixteenths, twelfths);
    if (best.empty() || tokens.size() < best.size()) best = std::move(tokens);
  }
  return best;
}

bool Writable(long ticks) { return !LengthTokens(ticks).empty(); }

std::string KeyName(int fifths) { return Key(fifths).name; }

int KeyTonic(int fifths) { return Key(fifths).tonic; }

std::string DegreeToken(int key, int fifths) {
  const int above = key - KeyTonic(fifths);
  const int octave = above >= 0 ? above / 12 : -((-above + 11) / 12);
  const int semitone = above - 12 * octave;
  std::string digits(1, static_cast<char>('0' + kDegree[semitone]));
  if (kSharp[semitone]) digits += '1';
  // The value is the digits as d.s times ten to the octave: move the point.
  const int point = 1 + octave;  // digits before the point
  if (point >= static_cast<int>(digits.size()))
    return digits + std::string(point - digits.size(), '0');
  if (point > 0) return digits.substr(0, point) + "." + digits.substr(point);
  return "0." + std::string(-point, '0') + digits;
}

}  // namespace importers
