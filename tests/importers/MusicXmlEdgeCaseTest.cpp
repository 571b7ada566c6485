#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "importers/MusicXmlReader.h"
#include "importers/ScoreWriter.h"
#include "tests/importers/ImportedScore.h"
#include "tests/importers/SungWords.h"

// Hand-made MusicXML scores, one trait each, imported, written and parsed back as the player
// parses them: heard in beats and MIDI keys.

namespace {

using importtest::HeardNote;

// A note: "C4", "F#4", "Bb3" or "rest", its duration in divisions, anything more inside.
std::string Note(const std::string& pitch, int duration, const std::string& more = "") {
  std::string xml = "<note>";
  if (pitch == "rest") {
    xml += "<rest/>";
  } else {
    const char alter = pitch.size() == 3 ? pitch[1] : ' ';
    xml += std::string("<pitch><step>") + pitch[0] + "</step>";
    if (alter == '#') xml += "<alter>1</alter>";
    if (alter == 'b') xml += "<alter>-1</alter>";
    xml += std::string("<octave>") + pitch.back() + "</octave></pitch>";
  }
  return xml + "<duration>" + std::to_string(duration) + "</duration>" + more + "</note>";
}

std::string Lyric(const std::string& text, const std::string& syllabic = "single", int verse = 1,
                  const std::string& more = "") {
  return "<lyric number=\"" + std::to_string(verse) + "\"><syllabic>" + syllabic +
         "</syllabic><text>" + text + "</text>" + more + "</lyric>";
}

std::string Attributes(int divisions, int fifths = 0, int beats = 4) {
  return "<attributes><divisions>" + std::to_string(divisions) + "</divisions><key><fifths>" +
         std::to_string(fifths) + "</fifths></key><time><beats>" + std::to_string(beats) +
         "</beats><beat-type>4</beat-type></time></attributes>";
}

std::string Measure(const std::string& body, const std::string& open = "<measure>") {
  return open + body + "</measure>";
}

// A partwise score of one part per string of measures.
std::string Score(const std::vector<std::string>& parts) {
  std::string list, music;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string id = "P" + std::to_string(i + 1);
    list += "<score-part id=\"" + id + "\"><part-name>Part " + id + "</part-name></score-part>";
    music += "<part id=\"" + id + "\">" + parts[i] + "</part>";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
         "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
         "<score-partwise version=\"3.1\"><part-list>" +
         list + "</part-list>" + music + "</score-partwise>";
}

std::string Written(const std::string& xml, const importers::ImportOptions& options = {}) {
  return importers::WriteScoreText(importers::ImportMusicXml(xml, options), options).text;
}

int Phrases(const std::string& text) {
  int count = 1;
  for (const char c : text) count += c == '|';
  return count;
}

struct MelodyCase {
  const char* name;
  std::string xml;
  std::vector<HeardNote> melody;
  const char* inText;  // a piece the written text must hold, or ""
};

const std::string kRepeatForward =
    "<barline location=\"left\"><repeat direction=\"forward\"/></barline>";

std::vector<MelodyCase> MelodyCases() {
  const std::string a4 = Attributes(1);
  return {
      {"dotted notes in divisions of two",
       Score({Measure(Attributes(2) + Note("C4", 3) + Note("D4", 1) + Note("E4", 4))}),
       {{0, 1.5, 60}, {1.5, 0.5, 62}, {2, 2, 64}},
       ""},
      {"a triplet of eighths",
       Score({Measure(Attributes(3) +
                      Note("C4", 1,
                           "<time-modification><actual-notes>3</actual-notes>"
                           "<normal-notes>2</normal-notes></time-modification>") +
                      Note("D4", 1) + Note("E4", 1) + Note("F4", 9))}),
       {{0, 1.0 / 3, 60}, {1.0 / 3, 1.0 / 3, 62}, {2.0 / 3, 1.0 / 3, 64}, {1, 3, 65}},
       ""},
      {"a tie over the bar line is one note",
       Score({Measure(a4 + Note("C4", 2) + Note("D4", 2, "<tie type=\"start\"/>")) +
              Measure(Note("D4", 2, "<tie type=\"stop\"/>") + Note("E4", 2))}),
       {{0, 2, 60}, {2, 4, 62}, {6, 2, 64}},
       ""},
      {"an implicit pickup measure",
       Score({Measure(a4 + Note("G4", 1), "<measure number=\"0\" implicit=\"yes\">") +
              Measure(Note("C5", 4))}),
       {{0, 1, 67}, {1, 4, 72}},
       "pickup 1"},
      {"a short first measure is a pickup",
       Score(
           {Measure(Attributes(1, 0, 3) + Note("G4", 1) + Note("A4", 1)) + Measure(Note("C5", 3))}),
       {{0, 1, 67}, {1, 1, 69}, {2, 3, 72}},
       "meter: 3/4, pickup 2"},
      {"a repeat with first and second endings",
       Score({Measure(a4 + Note("C4", 4)) + Measure(kRepeatForward + Note("D4", 4)) +
              Measure("<barline location=\"left\"><ending number=\"1\" type=\"start\"/></barline>" +
                      Note("E4", 4) +
                      "<barline location=\"right\"><ending number=\"1\" type=\"stop\"/>"
                      "<repeat direction=\"backward\"/></barline>") +
              Measure("<barline location=\"left\"><ending number=\"2\" type=\"start\"/></barline>" +
                      Note("F4", 4) +
                      "<barline location=\"right\"><ending number=\"2\" type=\"discontinue\"/>"
                      "</barline>") +
              Measure(Note("G4", 4))}),
       {{0, 4, 60}, {4, 4, 62}, {8, 4, 64}, {12, 4, 62}, {16, 4, 65}, {20, 4, 67}},
       ""},
      {"a repeat played three times",
       Score({Measure(a4 + Note("C4", 4) +
                      "<barline location=\"right\"><repeat direction=\"backward\" times=\"3\"/>"
                      "</barline>") +
              Measure(Note("D4", 4))}),
       {{0, 4, 60}, {4, 4, 60}, {8, 4, 60}, {12, 4, 62}},
       ""},
      {"a chord's top note is the melody",
       Score({Measure(a4 + Note("C4", 4) + Note("G4", 4, "<chord/>") + Note("E4", 4, "<chord/>"))}),
       {{0, 4, 67}},
       ""},
      {"the key's sharps and an alteration",
       Score({Measure(Attributes(1, 2) + Note("F#4", 2) + Note("C#5", 2))}),
       {{0, 2, 66}, {2, 2, 73}},
       "do=D"},
      {"a change of key keeps the keys heard",
       Score({Measure(a4 + Note("C4", 4, "<notations><fermata/></notations>")) +
              Measure("<attributes><key><fifths>-1</fifths></key></attributes>" + Note("Bb4", 4))}),
       {{0, 4, 60}, {4, 4, 70}},
       "do=F"},
      {"a tempo from a sound",
       Score({Measure(a4 + "<direction><sound tempo=\"72\"/></direction>" + Note("C4", 4))}),
       {{0, 4, 60}},
       "s=72"},
      {"a tempo from a dotted metronome mark",
       Score({Measure(a4 +
                      "<direction><direction-type><metronome><beat-unit>quarter</beat-unit>"
                      "<beat-unit-dot/><per-minute>60</per-minute></metronome></direction-type>"
                      "</direction>" +
                      Note("C4", 4))}),
       {{0, 4, 60}},
       "s=90"},
      {"a grace note is left out",
       Score({Measure(a4 + Note("B3", 0, "<grace/>") + Note("C4", 4))}),
       {{0, 4, 60}},
       ""},
      {"a second voice after a backup stays out of the melody",
       Score({Measure(a4 + Note("E4", 4, "<voice>1</voice>") +
                      "<backup><duration>4</duration></backup>" +
                      Note("C4", 2, "<voice>2</voice>") + Note("D4", 2, "<voice>2</voice>"))}),
       {{0, 4, 64}},
       ""},
  };
}

class MusicXmlMelodyTest : public ::testing::TestWithParam<MelodyCase> {};

TEST_P(MusicXmlMelodyTest, IsHeardInBeatsAndKeys) {
  const MelodyCase& c = GetParam();
  const std::string text = Written(c.xml);
  const std::vector<HeardNote> heard = importtest::VoiceNotes(text);
  ASSERT_EQ(heard.size(), c.melody.size()) << text;
  for (size_t i = 0; i < heard.size(); ++i) {
    EXPECT_NEAR(heard[i].beat, c.melody[i].beat, 1e-6) << "note " << i << "\n" << text;
    EXPECT_NEAR(heard[i].beats, c.melody[i].beats, 1e-6) << "note " << i << "\n" << text;
    EXPECT_EQ(heard[i].key, c.melody[i].key) << "note " << i << "\n" << text;
  }
  EXPECT_NE(text.find(c.inText), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Traits, MusicXmlMelodyTest, ::testing::ValuesIn(MelodyCases()),
                         [](const auto& info) {
                           std::string name;
                           for (const char c : std::string(info.param.name))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

TEST(MusicXmlVoicesTest, FollowTheMelodyUnlessItIsAlone) {
  const std::string xml =
      Score({Measure(Attributes(1) + Note("E4", 4, "<voice>1</voice>") +
                     "<backup><duration>4</duration></backup>" + Note("C4", 2, "<voice>2</voice>") +
                     Note("D4", 2, "<voice>2</voice>")),
             Measure(Attributes(1) + Note("C3", 4))});
  const std::string text = Written(xml);
  EXPECT_EQ(importtest::VoiceCount(text), 3) << text;
  const std::vector<HeardNote> second = importtest::VoiceNotes(text, 1);
  ASSERT_EQ(second.size(), 2u) << text;
  EXPECT_EQ(second[1].key, 62);
  EXPECT_NEAR(second[1].beat, 2.0, 1e-6);
  importers::ImportOptions alone;
  alone.melodyOnly = true;
  EXPECT_EQ(importtest::VoiceCount(Written(xml, alone)), 1);
  // The part asked for leads.
  importers::ImportOptions secondPart;
  secondPart.part = 2;
  EXPECT_EQ(importtest::VoiceNotes(Written(xml, secondPart)).at(0).key, 48);
}

TEST(MusicXmlPhrasesTest, EndAtFermatasBreathsRestsAndAfterFourBars) {
  const std::string a4 = Attributes(1);
  const struct {
    const char* name;
    std::string xml;
    int phrases;
  } cases[] = {
      {"a fermata",
       Score({Measure(a4 + Note("C4", 2) + Note("D4", 2, "<notations><fermata/></notations>")) +
              Measure(Note("E4", 4))}),
       2},
      {"a breath mark",
       Score({Measure(a4 +
                      Note("C4", 2,
                           "<notations><articulations><breath-mark/>"
                           "</articulations></notations>") +
                      Note("D4", 2))}),
       2},
      {"a rest of a beat", Score({Measure(a4 + Note("C4", 2) + Note("rest", 1) + Note("D4", 1))}),
       2},
      {"a rest of half a beat is no break",
       Score({Measure(Attributes(2) + Note("C4", 4) + Note("rest", 1) + Note("D4", 3))}), 1},
      {"eight bars without a mark",
       Score({Measure(a4 + Note("C4", 4)) + Measure(Note("D4", 4)) + Measure(Note("E4", 4)) +
              Measure(Note("F4", 4)) + Measure(Note("G4", 4)) + Measure(Note("A4", 4)) +
              Measure(Note("B4", 4)) + Measure(Note("C5", 4))}),
       2},
  };
  for (const auto& c : cases) EXPECT_EQ(Phrases(Written(c.xml)), c.phrases) << c.name;
}

TEST(MusicXmlPhrasesTest, ANoteTiedOverAPhraseBreakSoundsOnce) {
  // A phrase every bar; the note tied over the bar line holds the break back to its end.
  const std::string xml =
      Score({Measure(Attributes(1) + Note("C4", 2) + Note("D4", 2, "<tie type=\"start\"/>")) +
             Measure(Note("D4", 2, "<tie type=\"stop\"/>") + Note("E4", 2))});
  importers::ImportOptions everyBar;
  everyBar.phraseBars = 1;
  const std::string text = Written(xml, everyBar);
  EXPECT_EQ(Phrases(text), 2) << text;
  const std::vector<HeardNote> heard = importtest::VoiceNotes(text);
  ASSERT_EQ(heard.size(), 3u) << text;
  EXPECT_EQ(heard[1].key, 62);
  EXPECT_NEAR(heard[1].beats, 4.0, 1e-6);
  EXPECT_NE(text.find("|\n10,3"), std::string::npos) << text;
}

TEST(MusicXmlWordsTest, EveryVerseWithItsSyllablesHoldsAndElisions) {
  const std::string a4 = Attributes(1);
  const std::string xml = Score(
      {Measure(a4 + Note("C4", 1, Lyric("Twin", "begin") + Lyric("Up", "single", 2)) +
               Note("C4", 1, Lyric("kle", "end") + Lyric("a", "begin", 2)) +
               Note("G4", 1, Lyric("star", "single", 1, "<extend/>") + Lyric("bove", "end", 2)) +
               Note("A4", 1)) +
       Measure(Note("G4", 4,
                    "<lyric number=\"1\"><text>so</text><elision/>"
                    "<text>high</text></lyric>"))});
  const std::string text = Written(xml);
  EXPECT_EQ(importtest::SungWords(text, 0), "Twinkle star so\xE2\x80\xBFhigh") << text;
  EXPECT_EQ(importtest::SungWords(text, 1), "Up above") << text;
  // The held syllable is written as a hold, not as a note without words.
  EXPECT_NE(text.find("star _"), std::string::npos) << text;
}

TEST(MusicXmlWordsTest, EachPassOfARepeatSingsItsOwnVerse) {
  const std::string xml =
      Score({Measure(Attributes(1) + kRepeatForward +
                     Note("C4", 2, Lyric("one", "single", 1) + Lyric("two", "single", 2)) +
                     Note("D4", 2, Lyric("day", "single", 1) + Lyric("night", "single", 2)) +
                     "<barline location=\"right\"><repeat direction=\"backward\"/></barline>")});
  EXPECT_EQ(importtest::SungWords(Written(xml)), "one day two night");
}

TEST(MusicXmlWordsTest, ThePartWithWordsIsTheMelody) {
  const std::string xml = Score({Measure(Attributes(1) + Note("C3", 4)),
                                 Measure(Attributes(1) + Note("E4", 4, Lyric("la")))});
  const std::string text = Written(xml);
  EXPECT_EQ(importtest::VoiceNotes(text).at(0).key, 64) << text;
  EXPECT_EQ(importtest::SungWords(text), "la");
}

TEST(MusicXmlListTest, NamesEachPartWithItsNotesAndRange) {
  const std::string xml = Score({Measure(Attributes(1) + Note("C4", 2) + Note("G4", 2)),
                                 Measure(Attributes(1) + Note("C3", 4))});
  const std::vector<importers::ImportListing> parts = importers::ListMusicXml(xml);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].label, "part 1");
  EXPECT_EQ(parts[0].name, "Part P1");
  EXPECT_EQ(parts[0].notes, 2);
  EXPECT_EQ(parts[0].lowKey, 60);
  EXPECT_EQ(parts[0].highKey, 67);
  EXPECT_EQ(parts[1].notes, 1);
}

}  // namespace
