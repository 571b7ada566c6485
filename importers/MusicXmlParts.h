#pragma once

#include <map>
#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// The MusicXML reader's own pieces: a score's parts as they stand in the file, measure by
// measure, before repeats are played out and ties joined.

namespace importers::musicxml {

// Bounds that keep any file's reading small.
constexpr size_t kMaxNotes = 200000;          // in a score, all parts
constexpr size_t kMaxPlayedMeasures = 20000;  // after repeats are played out
constexpr size_t kMaxPlayedNotes = 400000;    // after repeats are played out, all parts
constexpr size_t kMaxParts = 64;
constexpr int kMaxRepeatTimes = 16;
constexpr double kMaxMeasureBeats = 256.0;  // a measure, and a note tied on

struct XmlNote {
  double start = 0.0;   // beats from the measure's start
  double length = 0.0;  // beats
  int key = kRestKey;
  int voice = 0;  // index into the part's voices
  bool tieStart = false;
  bool tieStop = false;
  bool phraseEnd = false;          // a fermata or a breath mark
  std::map<int, Syllable> lyrics;  // by verse number
};

struct XmlMeasure {
  int number = 0;         // as printed, for reports
  bool implicit = false;  // a pickup or a measure split by a line
  double length = 0.0;    // beats: the furthest point a voice reached
  std::vector<XmlNote> notes;
  bool hasKey = false;
  int fifths = 0;
  int meterBeats = 0;  // 0: no meter given here
  int meterUnit = 0;
  std::vector<std::pair<double, double>> tempos;  // (beat in the measure, quarters a minute)
  bool repeatForward = false;
  int repeatBackward = 0;    // times the section is played; 0: no repeat sign
  std::vector<int> endings;  // the passes this measure is played on; empty: all
  std::vector<std::string> losses;
};

struct XmlPart {
  std::string id;
  std::string name;
  std::vector<std::string> voiceNames;  // the <voice> value of each voice, in first use
  std::vector<XmlMeasure> measures;
};

struct XmlScore {
  std::string title;
  std::vector<XmlPart> parts;
};

// The parts of a score-partwise document. Throws ImportError when the bytes are no MusicXML
// score or declare entities.
XmlScore ParseMusicXml(const std::string& xml);

// The score's own file inside a compressed .mxl archive, refused with ImportError when the
// archive is damaged, names no score or unpacks to more than the size a score may have.
std::string ScoreOfArchive(const std::string& zipBytes);

}  // namespace importers::musicxml
