#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "importers/MidiFileReader.h"
#include "importers/ScoreWriter.h"
#include "tests/importers/ImportedScore.h"
#include "tests/importers/SungWords.h"

// Hand-made MIDI and karaoke files, one trait each, imported, written and parsed back as the
// player parses them: heard in beats and MIDI keys, with their words.

namespace {

using importtest::HeardNote;

constexpr int kQuarter = 480;

std::string Number(long value) {
  std::string bytes(1, static_cast<char>(value & 0x7F));
  while (value >>= 7) bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return bytes;
}

std::string Big(unsigned long value, int count) {
  std::string bytes;
  for (int i = count - 1; i >= 0; --i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

// A track's events, each after its delta time in ticks.
class CTrack {
 public:
  CTrack& Raw(long delta, const std::string& bytes) {
    bytes_ += Number(delta) + bytes;
    return *this;
  }
  CTrack& On(long delta, int key, int channel = 0) {
    return Raw(delta, {static_cast<char>(0x90 | channel), static_cast<char>(key), 100});
  }
  CTrack& Off(long delta, int key, int channel = 0) {
    return Raw(delta, {static_cast<char>(0x80 | channel), static_cast<char>(key), 0});
  }
  // A note of `ticks` right after the last event.
  CTrack& Note(int key, long ticks, int channel = 0, long delay = 0) {
    return On(delay, key, channel).Off(ticks, key, channel);
  }
  CTrack& Meta(long delta, int type, const std::string& data) {
    return Raw(delta,
               "\xFF" + std::string(1, static_cast<char>(type)) + Number(long(data.size())) + data);
  }
  std::string Chunk() const {
    const std::string body = bytes_ + std::string("\x00\xFF\x2F\x00", 4);
    return "MTrk" + Big(body.size(), 4) + body;
  }

 private:
  std::string bytes_;
};

std::string File(const std::vector<CTrack>& tracks, int division = kQuarter) {
  std::string bytes = "MThd" + Big(6, 4) + Big(1, 2) + Big(tracks.size(), 2) + Big(division, 2);
  for (const CTrack& track : tracks) bytes += track.Chunk();
  return bytes;
}

struct Written {
  std::string text;
  std::vector<importers::ImportLoss> losses;
};

Written Write(const std::string& bytes, const importers::ImportOptions& options = {}) {
  const importers::WrittenScore written =
      importers::WriteScoreText(importers::ImportMidi(bytes, options), options);
  return {written.text, written.losses};
}

bool Reports(const Written& written, const std::string& what) {
  for (const importers::ImportLoss& loss : written.losses)
    if (loss.what.find(what) != std::string::npos) return true;
  return false;
}

struct MelodyCase {
  const char* name;
  std::string bytes;
  std::vector<HeardNote> melody;
  const char* inText;    // a piece the written text must hold, or ""
  const char* reported;  // a piece of a reported loss, or ""
};

std::vector<MelodyCase> MelodyCases() {
  const int q = kQuarter;
  return {
      {"running status and a note-on of no velocity for note-off",
       File({CTrack().On(0, 60).Raw(q, {0x3C, 0}).Raw(0, {0x3E, 0x40}).Raw(q, {0x3E, 0})}),
       {{0, 1, 60}, {1, 1, 62}},
       "",
       ""},
      {"the drums are left out",
       File({CTrack().Note(60, q).Note(35, q, 9).Note(62, q)}),
       {{0, 1, 60}, {2, 1, 62}},
       "",
       ""},
      {"an onset off the grid moves to it and is reported",
       File({CTrack().Note(60, q - 10).Note(62, q)}),
       {{0, 1, 60}, {1, 1, 62}},
       "",
       "moved to the grid"},
      {"a released note is held to the next",
       File({CTrack().Note(60, q * 9 / 10).Note(62, q, 0, q / 10)}),
       {{0, 1, 60}, {1, 1, 62}},
       "",
       ""},
      {"a triplet of eighths",
       File({CTrack().Note(60, q / 3).Note(62, q / 3).Note(64, q / 3).Note(65, q)}),
       {{0, 1.0 / 3, 60}, {1.0 / 3, 1.0 / 3, 62}, {2.0 / 3, 1.0 / 3, 64}, {1, 1, 65}},
       "",
       ""},
      {"tempo and meter events",
       File({CTrack()
                 .Meta(0, 0x51, Big(600000, 3))
                 .Meta(0, 0x58, "\x03\x02\x18\x08")
                 .Note(67, 3 * q)}),
       {{0, 3, 67}},
       "s=100",
       ""},
      {"a key signature event",
       File({CTrack().Meta(0, 0x59, std::string("\xFF\x00", 2)).Note(65, q).Note(70, q)}),
       {{0, 1, 65}, {1, 1, 70}},
       "do=F",
       ""},
      {"a key estimated from the notes",
       File({CTrack().Note(67, q).Note(71, q).Note(74, q).Note(66, q).Note(69, q).Note(72, q)}),
       {{0, 1, 67}, {1, 1, 71}, {2, 1, 74}, {3, 1, 66}, {4, 1, 69}, {5, 1, 72}},
       "do=G",
       "estimated"},
      {"a lying track length reads what is there",
       File({CTrack().Note(60, q)}).substr(0, 18) + Big(0x7FFFFF00, 4) +
           CTrack().Note(60, q).Note(64, q).Chunk().substr(8),
       {{0, 1, 60}, {1, 1, 64}},
       "",
       "ends inside track 1"},
      {"a huge delta time ends the track's reading",
       File({CTrack().Note(60, q).Raw(0x0FFFFFFF, "\x90\x40\x64")}),
       {{0, 1, 60}},
       "",
       "too late"},
      {"a file cut inside an event",
       File({CTrack().Note(60, q).Note(62, q)}).substr(0, 14 + 8 + 9),
       {{0, 1, 60}},
       "",
       "track 1"},
  };
}

class MidiMelodyTest : public ::testing::TestWithParam<MelodyCase> {};

TEST_P(MidiMelodyTest, IsHeardInBeatsAndKeys) {
  const MelodyCase& c = GetParam();
  const Written written = Write(c.bytes);
  const std::vector<HeardNote> heard = importtest::VoiceNotes(written.text);
  ASSERT_EQ(heard.size(), c.melody.size()) << written.text;
  for (size_t i = 0; i < heard.size(); ++i) {
    EXPECT_NEAR(heard[i].beat, c.melody[i].beat, 1e-6) << "note " << i << "\n" << written.text;
    EXPECT_NEAR(heard[i].beats, c.melody[i].beats, 1e-6) << "note " << i << "\n" << written.text;
    EXPECT_EQ(heard[i].key, c.melody[i].key) << "note " << i << "\n" << written.text;
  }
  EXPECT_NE(written.text.find(c.inText), std::string::npos) << written.text;
  if (*c.reported != '\0') {
    EXPECT_TRUE(Reports(written, c.reported)) << c.reported;
  }
}

INSTANTIATE_TEST_SUITE_P(Traits, MidiMelodyTest, ::testing::ValuesIn(MelodyCases()),
                         [](const auto& info) {
                           std::string name;
                           for (const char c : std::string(info.param.name))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

TEST(MidiFileTest, RefusesWhatIsNoMidiFileWithAMessage) {
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"text", "not a midi file at all", "not a MIDI file"},
      {"a header's length past the end",
       "MThd" + Big(1000, 4) + Big(1, 2) + Big(1, 2) + Big(480, 2), "header"},
      {"frames, not beats", "MThd" + Big(6, 4) + Big(0, 2) + Big(1, 2) + Big(0xE728, 2), "SMPTE"},
      {"no track", "MThd" + Big(6, 4) + Big(0, 2) + Big(0, 2) + Big(480, 2), "no track"},
      {"drums alone", File({CTrack().Note(36, kQuarter, 9)}), "no notes"},
  };
  for (const auto& c : cases) {
    std::string refusal;
    try {
      importers::ImportMidi(c.bytes, {});
    } catch (const importers::ImportError& error) {
      refusal = error.what();
    }
    EXPECT_NE(refusal.find(c.message), std::string::npos) << c.name << ": " << refusal;
  }
}

TEST(MidiFileTest, AStuckNoteIsCutShortAndTheScoreStaysWithinItsLimit) {
  // Found by the fuzzer: a note never released, held for thousands of beats, was written as
  // one phrase longer than a score may be.
  const Written written = Write(File({CTrack().On(0, 60).Meta(5000 * kQuarter, 0x01, "end")}));
  EXPECT_TRUE(Reports(written, "longer than 256 beats cut short"));
  double beats = 0.0;
  for (const HeardNote& note : importtest::VoiceNotes(written.text)) beats += note.beats;
  EXPECT_NEAR(beats, 256.0, 1e-6);
}

TEST(MidiFileTest, NotesAfterASilenceOfHoursAreLeftOut) {
  // Found by the fuzzer: a note 30000 beats on made one phrase of rests longer than a score.
  const Written written =
      Write(File({CTrack().Note(60, kQuarter).Note(62, kQuarter, 0, 30000 * kQuarter)}));
  EXPECT_TRUE(Reports(written, "after a silence of more than 1024 beats left out"));
  const std::vector<HeardNote> heard = importtest::VoiceNotes(written.text);
  ASSERT_EQ(heard.size(), 1u) << written.text;
  EXPECT_EQ(heard[0].key, 60);
}

TEST(MidiFileTest, ListsEachChannelOfAOneTrackFile) {
  // Found by the fuzzer: listing read the notes after the file they came from was gone.
  const std::vector<importers::ImportListing> parts = importers::ListMidi(
      File({CTrack().On(0, 60).On(0, 48, 1).Off(kQuarter, 60).Note(62, kQuarter).Off(0, 48, 1)}));
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].label, "track 1");
  EXPECT_EQ(parts[0].name, "channel 1");
  EXPECT_EQ(parts[0].notes, 2);
  EXPECT_EQ(parts[0].highKey, 62);
  EXPECT_EQ(parts[1].name, "channel 2");
  EXPECT_EQ(parts[1].lowKey, 48);
}

TEST(MidiWordsTest, LyricEventsAreTheWordsAndTheirTrackTheMelody) {
  const int q = kQuarter;
  CTrack accompaniment, melody;
  accompaniment.Note(48, 4 * q);
  melody.Meta(0, 0x03, "Voice").Meta(0, 0x05, "Twin").Note(67, q).Meta(0, 0x05, "kle ");
  melody.Note(67, q).Meta(0, 0x05, "lit-").Note(74, q).Meta(0, 0x05, "tle\r").Note(74, q);
  const Written written = Write(File({accompaniment, melody}));
  EXPECT_EQ(importtest::VoiceNotes(written.text).at(0).key, 67) << written.text;
  EXPECT_EQ(importtest::SungWords(written.text), "Twinkle little") << written.text;
  EXPECT_EQ(importtest::VoiceCount(written.text), 2);

  const std::vector<importers::ImportListing> tracks =
      importers::ListMidi(File({accompaniment, melody}));
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[1].label, "track 2");
  EXPECT_EQ(tracks[1].name, "Voice");
  EXPECT_EQ(tracks[1].notes, 4);
  EXPECT_EQ(tracks[1].lowKey, 67);
  EXPECT_EQ(tracks[1].highKey, 74);
}

TEST(MidiWordsTest, KaraokeTextInGbkWithLinesAndHeaders) {
  const int q = kQuarter;
  // 茉莉花 and 好一朵美丽的 in GBK, as karaoke files written on Chinese Windows hold them.
  CTrack words;
  words.Meta(0, 0x01, "@KMIDI KARAOKE FILE").Meta(0, 0x01, "@T\xDC\xD4\xC0\xF2\xBB\xA8");
  const char* const syllables[] = {"\\\xBA\xC3", "\xD2\xBB", "\xB6\xE4",
                                   "/\xC3\xC0",  "\xC0\xF6", "\xB5\xC4"};
  for (int i = 0; i < 6; ++i) words.Meta(i == 0 ? 0 : q, 0x01, syllables[i]);
  CTrack tune;
  for (const int key : {64, 64, 67, 69, 72, 72}) tune.Note(key, q);
  const Written written = Write(File({words, tune}));
  EXPECT_NE(written.text.find("\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1"), std::string::npos)
      << written.text;  // the title
  EXPECT_EQ(importtest::SungWords(written.text),
            "\xE5\xA5\xBD\xE4\xB8\x80\xE6\x9C\xB5 \xE7\xBE\x8E\xE4\xB8\xBD\xE7\x9A\x84")
      << written.text;
  // The "/" line mark begins a phrase.
  EXPECT_NE(written.text.find("|"), std::string::npos) << written.text;
}

TEST(MidiWordsTest, ControlCharactersInTextsAreSpaces) {
  // Found by the fuzzer: a zero byte in a track's name ended the score's text in its title.
  CTrack track;
  track.Meta(0, 0x03, std::string("Me\0lo", 5) + "\a" + "dy").Meta(0, 0x05, std::string("la\0", 3));
  track.Note(60, kQuarter);
  const Written written = Write(File({track}));
  EXPECT_NE(written.text.find("/*title: Me lo dy*/"), std::string::npos) << written.text;
  EXPECT_EQ(importtest::SungWords(written.text), "la");
}

TEST(MidiWordsTest, WordsThatAreNeitherUtf8NorGbkAreLatin1) {
  CTrack track;
  track.Meta(0, 0x05, "Caf\xE9\xFF").Note(60, kQuarter);
  EXPECT_EQ(importtest::SungWords(Write(File({track})).text), "Caf\xC3\xA9\xC3\xBF");
}

}  // namespace
