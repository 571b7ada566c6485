// The live lines `tunwick play` redraws on a terminal: the phrase's own text without its
// comments, the sounding notes marked, long phrases cut around them; under it the phrase's
// words with the syllable being sung marked.
#include <gtest/gtest.h>

#include <string>

#include "cli/PlayDisplay.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"
#include "tests/cli/CommandStreams.h"

namespace {

const std::string kOn = "\x1b[7m";
const std::string kOff = "\x1b[27m";

struct Loaded {
  explicit Loaded(const std::string& text) : text(text) {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(text.c_str());
  }
  std::string text;
  CSilentPlatform platform;
  CPlayer player{platform};
};

TEST(PlayDisplayTest, MarksTheSoundingNotesInThePhrasesOwnText) {
  // A comment, a line break and an opening '|' that the parser drops: offsets still line up.
  const Loaded loaded("|/*a*/1,1,1,2\r\n|0,1,0,3,1,5");
  ASSERT_EQ(loaded.player.LoadedScore().phraseCount, 2);
  CPlayDisplay display(loaded.player, loaded.text, stdout, 80, nullptr);
  const int32_t second[] = {1};
  EXPECT_EQ(display.LiveLine(0, second, 1), "1,1," + kOn + "1,2" + kOff + "  ");
  const int32_t chord[] = {0, 1, 2};
  EXPECT_EQ(display.LiveLine(1, chord, 3),
            kOn + "0,1" + kOff + "," + kOn + "0,3" + kOff + "," + kOn + "1,5" + kOff);
  const int32_t last[] = {2};
  EXPECT_EQ(display.LiveLine(1, last, 1), "0,1,0,3," + kOn + "1,5" + kOff);
}

TEST(PlayDisplayTest, CommentsInThePhraseAreNotShown) {
  // A comment between notes stands as one space, none beside a space; one never closed runs
  // to the end of the score.
  const Loaded loaded("1,1/*换气*/1,2 /* 慢 */ 1,3|1,5 /* 未完 | 1,6");
  ASSERT_EQ(loaded.player.LoadedScore().phraseCount, 2);
  CPlayDisplay display(loaded.player, loaded.text, stdout, 80, nullptr);
  const int32_t second[] = {1};
  EXPECT_EQ(display.LiveLine(0, second, 1), "1,1 " + kOn + "1,2" + kOff + "  1,3");
  const int32_t third[] = {2};
  EXPECT_EQ(display.LiveLine(0, third, 1), "1,1 1,2  " + kOn + "1,3" + kOff);
  const int32_t first[] = {0};
  EXPECT_EQ(display.LiveLine(1, first, 1), kOn + "1,5" + kOff + " ");

  // The width counts what is shown: a long comment before the note does not push it out.
  const Loaded long_("/*" + std::string(300, 'x') + "*/1,1,1,2");
  CPlayDisplay narrow(long_.player, long_.text, stdout, 42, nullptr);
  EXPECT_EQ(narrow.LiveLine(0, second, 1), "1,1," + kOn + "1,2" + kOff);
}

TEST(PlayDisplayTest, ALongPhraseIsCutToTheWidthAroundTheNote) {
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += (i ? "," : "") + std::string("1,") + std::to_string(i % 7 + 1);
  const Loaded loaded(text);
  CPlayDisplay display(loaded.player, loaded.text, stdout, 42, nullptr);
  const int32_t note[] = {100};
  const std::string line = display.LiveLine(0, note, 1);
  EXPECT_EQ(line.rfind("…", 0), 0u) << line;
  EXPECT_NE(line.find(kOn + "1,3" + kOff), std::string::npos) << line;  // note 100: degree 3
  const size_t shown = line.size() - kOn.size() - kOff.size() - 2 * std::string("…").size();
  EXPECT_EQ(shown, 40u);
}

TEST(PlayDisplayTest, TheWordsLineMarksTheSyllableSungOrHeld) {
  // Twin- kle, "kle" held over the third note, a rest, then "star".
  const Loaded loaded("1,1,1,1,1,5,1,0,1,6 /*words: Twin-kle _ star*/|1,1");
  CPlayDisplay display(loaded.player, loaded.text, stdout, 80, nullptr);
  const struct {
    int32_t note;
    std::string words;
  } cases[] = {
      {0, kOn + "Twin" + kOff + "kle star"},
      {1, "Twin" + kOn + "kle" + kOff + " star"},
      {2, "Twin" + kOn + "kle" + kOff + " star"},  // held
      {3, "Twinkle star"},                         // a rest sings nothing
      {4, "Twinkle " + kOn + "star" + kOff},
  };
  for (const auto& c : cases) EXPECT_EQ(display.WordsLine(0, &c.note, 1), c.words) << c.note;
  const int32_t first = 0;
  EXPECT_EQ(display.WordsLine(1, &first, 1), "") << "a phrase without words has no line";
  // A chord's notes sound together: the one that sings is marked.
  const Loaded chord("0,1,0,3,1,5,1,6 /*词: 和声*/");
  CPlayDisplay chordDisplay(chord.player, chord.text, stdout, 80, nullptr);
  const int32_t together[] = {0, 1, 2};
  EXPECT_EQ(chordDisplay.WordsLine(0, together, 3), kOn + "和" + kOff + "声");
}

TEST(PlayDisplayTest, LongWordsAreCutAroundTheSyllableCountingWideCharacters) {
  const std::string words = "天地玄黄宇宙洪荒日月盈昃辰宿列张寒来暑往秋收冬藏闰余成岁律吕调阳";
  std::string text;
  for (int i = 0; i < 32; ++i)
    text += (i ? "," : "") + std::string("1,") + std::to_string(i % 7 + 1);
  const Loaded loaded(text + "/*词: " + words + "*/");
  // 20 columns of room: ten characters, three of them before the one sung.
  CPlayDisplay display(loaded.player, loaded.text, stdout, 22, nullptr);
  const int32_t note = 15;
  EXPECT_EQ(display.WordsLine(0, &note, 1), "…辰宿列" + kOn + "张" + kOff + "寒来暑往秋收…");
}

TEST(PlayDisplayTest, TheNotesAndTheWordsAreRedrawnInPlaceAndClearedAtTheEnd) {
  const Loaded loaded("1,1,1,2 /*词: 一二*/");
  CapturedStreams captured;
  CPlayDisplay display(loaded.player, loaded.text, captured.streams().out, 80, nullptr);
  PlayerNotification note;
  note.kind = PlayerNotification::kNote;
  note.row = 0;
  note.note = 0;
  display.OnPlayerNotification(note);
  note.note = 1;
  note.atMs = 1000;
  display.OnPlayerNotification(note);
  display.Finish();
  const std::string clear = "\r\x1b[K", up = "\x1b[A";
  EXPECT_EQ(captured.out(), clear + kOn + "1,1" + kOff + ",1,2 \n" + kOn + "一" + kOff + "二" +
                                clear + up + clear + "1,1," + kOn + "1,2" + kOff + " \n一" + kOn +
                                "二" + kOff + clear + up + clear);
}

}  // namespace
