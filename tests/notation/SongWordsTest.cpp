#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "notation/Comments.h"
#include "notation/SongWords.h"
#include "notation/Syllables.h"
#include "tests/notation/NotationTestSupport.h"

namespace {

// Each note of the first voice of phrase `row` in verse `verse`: its syllable, "_" when the
// one before is held over it, "" when it has none.
std::vector<std::string> SungBy(const Song& song, int32_t row, int32_t verse = 0) {
  std::vector<std::string> sung;
  for (size_t note = 0; note < song.phrases[static_cast<size_t>(row)].notes.size(); ++note) {
    const Syllable* syllable = song.SyllableAt(row, static_cast<int32_t>(note), verse);
    sung.push_back(syllable == nullptr ? "" : syllable->held ? "_" : syllable->text);
  }
  return sung;
}

struct SongFixture {
  std::unique_ptr<Score> score = std::make_unique<Score>();
  Song song;
  explicit SongFixture(const std::string& text) {
    EXPECT_EQ(notation_test::ParseOutcome(text, *score), "") << text;
    song = ReadSong(text, *score);
  }
};

struct WordsCase {
  const char* name;
  const char* text;
  std::vector<std::string> verse1;  // phrase 1
  size_t warnings;
};

void PrintTo(const WordsCase& c, std::ostream* out) { *out << c.name; }

class WordsLaidOnNotes : public testing::TestWithParam<WordsCase> {};

TEST_P(WordsLaidOnNotes, EachSoundingNoteOfTheFirstVoiceTakesTheNextSyllable) {
  const WordsCase& c = GetParam();
  const SongFixture f(c.text);
  EXPECT_EQ(SungBy(f.song, 0), c.verse1);
  EXPECT_EQ(f.song.warnings.size(), c.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WordsLaidOnNotes,
    testing::Values(
        WordsCase{"chinese",
                  "/*词: 好一朵，美丽*/1,3,1,3,1,5,1,6,1,10",
                  {"好", "一", "朵，", "美", "丽"},
                  0},
        WordsCase{"hyphenated",
                  "/*words: Twin-kle twin-kle star*/1,1,1,1,1,5,1,5,10,6",
                  {"Twin-", "kle", "twin-", "kle", "star"},
                  0},
        WordsCase{
            "held and skipped", "/*words: Oh _ * my*/1,1,1,2,1,3,1,4", {"Oh", "_", "", "my"}, 0},
        WordsCase{"rests take none", "/*词: 一二*/1,0,1,1,1,0,1,2", {"", "一", "", "二"}, 0},
        // The key moves a rest's pitch number with the notes': still a rest.
        WordsCase{"rests take none in any key",
                  "/*词: 一二*/do=F,1,0,1,1,1,0,1,2",
                  {"", "一", "", "二"},
                  0},
        WordsCase{"chord notes sound with the last",
                  "/*词: 和声*/0,1,0,3,1,5,1,6",
                  {"", "", "和", "声"},
                  0},
        WordsCase{"only the first voice", "/*词: 上声*/1,1,1,2 &1,5,1,6", {"上", "声"}, 0},
        WordsCase{"too few syllables", "/*词: 一*/1,1,1,2,1,3", {"一", "", ""}, 0},
        WordsCase{"too many syllables", "/*词: 一二三四*/1,1,1,2", {"一", "二"}, 1},
        WordsCase{"two comments go on", "1,1,/*词: 一*/1,2,/*词: 二三*/1,3", {"一", "二", "三"}, 0},
        WordsCase{"full-width colon and leading quote", "/*词：“好”*/1,1", {"“好”"}, 0},
        WordsCase{"an ordinary comment", "/* 词 and words in a note */1,1", {""}, 0},
        WordsCase{"a credit is no tag", "/* Words: Robert Burns, 1788 */1,1", {""}, 0}),
    [](const testing::TestParamInfo<WordsCase>& info) {
      std::string name = info.param.name;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(SongWords, VersesLieOneUnderAnotherAndBelongToTheirPhrase) {
  const SongFixture f("/*words: Row row*//*words2: Merr-i-*/1,1,1,1|1,2,/*words2: ly*/1,3,1,4");
  EXPECT_EQ(f.song.verseCount, 2);
  EXPECT_EQ(SungBy(f.song, 0, 0), (std::vector<std::string>{"Row", "row"}));
  EXPECT_EQ(SungBy(f.song, 0, 1), (std::vector<std::string>{"Merr-", "i-"}));
  EXPECT_EQ(SungBy(f.song, 1, 0), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(SungBy(f.song, 1, 1), (std::vector<std::string>{"ly", "", ""}));
  EXPECT_EQ(PhraseWordsLine(f.song, 0, 1), "Merri-");
  EXPECT_EQ(PhraseWordsLine(f.song, 0, 0), "Row row");
}

TEST(SongWords, TitleAndMeterWithTheirWarnings) {
  const SongFixture f(
      "/*标题: 茉莉花*//*title: second*//*拍号: 3/4, 弱起 1*/1,1|/*meter: x/y*//*title:*/1,2");
  EXPECT_EQ(f.song.title, "茉莉花");
  ASSERT_TRUE(f.song.meter);
  EXPECT_EQ(f.song.meter->count, 3);
  EXPECT_EQ(f.song.meter->unit, 4);
  EXPECT_DOUBLE_EQ(f.song.pickupBeats, 1.0);
  ASSERT_EQ(f.song.warnings.size(), 2u);
  EXPECT_NE(f.song.warnings[0].message.find("x/y"), std::string::npos);
  EXPECT_NE(f.song.warnings[1].message.find("标题"), std::string::npos);
}

TEST(SongWords, MalformedTagsAreWarningsNeverErrors) {
  for (const char* tag : {"/*meter: 3/5*/", "/*meter: 0/4*/", "/*meter: 3/4, pickup 3*/",
                          "/*meter: 3/4, anacrusis*/", "/*words9: la*/", "/*词0: 啦*/"}) {
    const SongFixture f(std::string(tag) + "1,1");
    EXPECT_EQ(f.song.warnings.size(), 1u) << tag;
  }
  const SongFixture pickupKept("/*meter: 2/4，pickup 0.5*/1,1");
  EXPECT_DOUBLE_EQ(pickupKept.song.pickupBeats, 0.5);
}

TEST(SongWords, WordsAfterTheLastPhraseAreWarned) {
  const SongFixture f("1,1,1,2|/*词: 啦*/");
  ASSERT_EQ(f.song.warnings.size(), 1u);
  EXPECT_EQ(f.song.warnings[0].offset, 8);
}

struct MeasureCase {
  const char* text;
  std::vector<std::vector<double>> ends;
};

TEST(SongWords, MeasuresAreCountedFromThePickupAcrossPhrases) {
  const MeasureCase cases[] = {
      {"1,1,1,1,1,1,1,1", {}},                     // no meter
      {"/*meter: 2/4*/1,1,1,1,1,1,1,1", {{2.0}}},  // the phrase's end not listed
      {"/*meter: 3/4, pickup 1*/1,5,1,1,1,1,1,1,1,2", {{1.0, 4.0}}},
      {"/*meter: 2/4*/1,1,1,1,1,1|1,1,1,1,1,1", {{2.0}, {1.0}}},  // a measure across phrases
      {"/*meter: 2/4*/1,1,1,1|/*meter: 3/4*/1,1,1,1,1,1,1,1", {{}, {3.0}}},
      {"/*meter: 2/4*/1,1,1,1,1,1,1,1 &10,1,10,1", {{2.0}}},  // voices end together
  };
  for (const MeasureCase& c : cases) {
    const SongFixture f(c.text);
    std::vector<std::vector<double>> expected = c.ends;
    expected.resize(static_cast<size_t>(f.score->phraseCount));
    EXPECT_EQ(MeasureEnds(*f.score, f.song), expected) << c.text;
  }
}

TEST(SongWords, ALeadingBarKeepsWordsWithTheirPhrase) {
  const SongFixture f("|1,1,/*词: 一*/|1,2,/*词: 二*/|");
  EXPECT_EQ(SungBy(f.song, 0), (std::vector<std::string>{"一"}));
  EXPECT_EQ(SungBy(f.song, 1), (std::vector<std::string>{"二"}));
}

TEST(Syllables, PunctuationAndHyphensStayWithTheirSyllable) {
  const std::vector<WordPiece> pieces = CutSyllables("“Hi,” she - said 你好！ a--b _ *");
  std::vector<std::string> shown;
  for (const WordPiece& piece : pieces)
    shown.push_back(piece.kind == WordPiece::kHold   ? "_"
                    : piece.kind == WordPiece::kSkip ? "*"
                                                     : piece.text);
  EXPECT_EQ(shown,
            (std::vector<std::string>{"“Hi,”", "she-", "said", "你", "好！", "a-", "b", "_", "*"}));
}

}  // namespace

TEST(WithoutComments, WordsAndTitlesAddedLeaveTheMusicAsItWas) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    std::string music;
  } cases[] = {
      {"/*标题: 茉莉花*/\r\ndo=F,1,3,/*词: 好*/0.1,3|", "\r\ndo=F,1,3,0.1,3|"},
      {"1/*two numbers apart*/1", "1 1"},
      {"|1,1/*open to the end", "|1,1"},
      {"1,1/*x*/|/*y*/\0/*z*/"s, "1,1|\0/*z*/"s},  // the parser stops at a zero byte
  };
  for (const auto& c : cases) EXPECT_EQ(WithoutComments(c.text), c.music) << c.text;
}
