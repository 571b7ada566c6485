// `tunwick check` on songs with words, run as the built program: the song as JSON (each note's
// beat, length, key and syllables), the words' warnings, and comments of any kind leaving what
// plays exactly as it was.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

#ifndef TUNWICK_BINARY
#error "TUNWICK_BINARY must name the built program"
#endif

namespace {

using testsupport::ReadFileBytes;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class SongCheckTest : public ::testing::Test {
 protected:
  // Runs `program` with `arguments` (shell words) in the temporary folder, without a display.
  Outcome Run(const std::string& arguments, const std::string& program = TUNWICK_BINARY) {
    const std::string out = temp.File("stdout"), err = temp.File("stderr");
    const std::string line = "cd '" + temp.path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" +
                             program + "' " + arguments + " </dev/null >'" + out + "' 2>'" + err +
                             "'";
    const int raw = std::system(line.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFileBytes(out), ReadFileBytes(err)};
  }

  Outcome Check(const std::string& text, const std::string& options = "") {
    temp.Write("song.txt", text);
    return Run("check song.txt" + options);
  }

  testsupport::TempFolder temp;
};

// The lines of the JSON that hold one note each.
std::vector<std::string> NoteLines(const std::string& json) {
  std::vector<std::string> notes;
  size_t at = 0;
  while ((at = json.find("\n    {\"beat\"", at)) != std::string::npos) {
    const size_t end = json.find('}', at);
    notes.push_back(json.substr(at + 5, end + 1 - (at + 5)));
    at = end;
  }
  return notes;
}

std::string WithoutBlanks(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  return text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(SongCheckTest, TheSongAsJson) {
  const Outcome run = Check(
      "/*标题: 茉莉花 \"2\" \\ 版*/ /*拍号: 2/4, 弱起 1*/\r\n"
      "do=Eb s=72,1,3,0.1,3,0.1,5 /*词: 好一朵*/|\r\n"
      "do=F#,10,1 &1,5,1,0",
      " --json");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "{\"title\": \"茉莉花 \\\"2\\\" \\\\ 版\", \"meter\": \"2/4\", \"pickupBeats\": 1,\n"
            " \"phrases\": [\n"
            "  {\"phrase\": 1, \"key\": \"Eb\", \"tempo\": 72, \"beats\": 2,\n"
            "   \"voices\": [{\"notes\": [\n"
            "    {\"beat\": 0, \"beats\": 1, \"key\": 67, \"lyric\": \"好\"},\n"
            "    {\"beat\": 1, \"beats\": 0.5, \"key\": 67, \"lyric\": \"一\"},\n"
            "    {\"beat\": 1.5, \"beats\": 0.5, \"key\": 70, \"lyric\": \"朵\"}]}]},\n"
            "  {\"phrase\": 2, \"key\": \"F#\", \"tempo\": 72, \"beats\": 2,\n"
            "   \"voices\": [{\"notes\": [\n"
            "    {\"beat\": 0, \"beats\": 2, \"key\": 66, \"lyric\": null}]}, {\"notes\": [\n"
            "    {\"beat\": 0, \"beats\": 1, \"key\": 73, \"lyric\": null},\n"
            "    {\"beat\": 1, \"beats\": 1, \"key\": null, \"lyric\": null}]}]}]}\n");

  // Without tags: no title, no meter, no pickup.
  const Outcome bare = Check("1,1", " --json");
  EXPECT_EQ(bare.out,
            "{\"title\": null, \"meter\": null, \"pickupBeats\": 0,\n \"phrases\": [\n"
            "  {\"phrase\": 1, \"key\": \"C\", \"tempo\": 120, \"beats\": 1,\n"
            "   \"voices\": [{\"notes\": [\n"
            "    {\"beat\": 0, \"beats\": 1, \"key\": 60, \"lyric\": null}]}]}]}\n");
}

struct WordsCase {
  const char* name;
  const char* text;
  std::vector<std::string> notes;  // phrase 1's, each as its JSON
  size_t voices;                   // phrase 1's
  const char* err;
};

void PrintTo(const WordsCase& c, std::ostream* out) { *out << c.name; }

class SongWordsTable : public SongCheckTest, public ::testing::WithParamInterface<WordsCase> {};

TEST_P(SongWordsTable, EachNoteCarriesItsSyllable) {
  const WordsCase& c = GetParam();
  const Outcome run = Check(c.text, " --json");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(NoteLines(run.out), c.notes) << run.out;
  EXPECT_EQ(Count(run.out, "{\"notes\": ["), c.voices) << run.out;
  EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Phrases, SongWordsTable,
    ::testing::Values(
        WordsCase{"Chinese",
                  "1,3,1,5,1,6 /*词: 好一朵，*/",
                  {R"({"beat": 0, "beats": 1, "key": 64, "lyric": "好"})",
                   R"({"beat": 1, "beats": 1, "key": 67, "lyric": "一"})",
                   R"({"beat": 2, "beats": 1, "key": 69, "lyric": "朵，"})"},
                  1,
                  ""},
        WordsCase{"HyphenatedEnglish",
                  "/*words: Twin-kle star*/1,1,1,1,10,5",
                  {R"({"beat": 0, "beats": 1, "key": 60, "lyric": "Twin-"})",
                   R"({"beat": 1, "beats": 1, "key": 60, "lyric": "kle"})",
                   R"({"beat": 2, "beats": 2, "key": 67, "lyric": "star"})"},
                  1,
                  ""},
        // "_" holds the syllable before: shown as "_"; "*" leaves a note without one.
        WordsCase{"HeldAndSkipped",
                  "/*words: Oh _ * my*/1,1,1,2,1,3,1,4",
                  {R"({"beat": 0, "beats": 1, "key": 60, "lyric": "Oh"})",
                   R"({"beat": 1, "beats": 1, "key": 62, "lyric": "_"})",
                   R"({"beat": 2, "beats": 1, "key": 64, "lyric": null})",
                   R"({"beat": 3, "beats": 1, "key": 65, "lyric": "my"})"},
                  1,
                  ""},
        // In F the rest's pitch number is moved with the notes'; it stays a rest.
        WordsCase{"RestsInAnotherKey",
                  "do=F,0.1,0,0.1,1,1,0,1,2 /*词: 一二*/",
                  {R"({"beat": 0, "beats": 0.5, "key": null, "lyric": null})",
                   R"({"beat": 0.5, "beats": 0.5, "key": 65, "lyric": "一"})",
                   R"({"beat": 1, "beats": 1, "key": null, "lyric": null})",
                   R"({"beat": 2, "beats": 1, "key": 67, "lyric": "二"})"},
                  1,
                  ""},
        WordsCase{"ChordSingsOnItsLastNote",
                  "/*词: 和声*/0,1,0,3,1,5,1,6",
                  {R"({"beat": 0, "beats": 0, "key": 60, "lyric": null})",
                   R"({"beat": 0, "beats": 0, "key": 64, "lyric": null})",
                   R"({"beat": 0, "beats": 1, "key": 67, "lyric": "和"})",
                   R"({"beat": 1, "beats": 1, "key": 69, "lyric": "声"})"},
                  1,
                  ""},
        WordsCase{"TwoVoicesTheFirstSings",
                  "/*词: 上声*/1,1,1,2 &0.1,5,0.1,6,1,7",
                  {R"({"beat": 0, "beats": 1, "key": 60, "lyric": "上"})",
                   R"({"beat": 1, "beats": 1, "key": 62, "lyric": "声"})",
                   R"({"beat": 0, "beats": 0.5, "key": 67, "lyric": null})",
                   R"({"beat": 0.5, "beats": 0.5, "key": 69, "lyric": null})",
                   R"({"beat": 1, "beats": 1, "key": 71, "lyric": null})"},
                  2,
                  ""},
        WordsCase{
            "Verses",
            "1,1,1,2,1,3 /*words: one two three*/ /*words2: un deux*/ /*词3: 一 _ 三*/",
            {R"({"beat": 0, "beats": 1, "key": 60, "lyric": "one", "verses": ["one", "un", "一"]})",
             R"({"beat": 1, "beats": 1, "key": 62, "lyric": "two", "verses": ["two", "deux", "_"]})",
             R"({"beat": 2, "beats": 1, "key": 64, "lyric": "three", "verses": ["three", null, "三"]})"},
            1,
            ""},
        WordsCase{"TooManySyllables",
                  "1,1,1,2 /*词: 一二三*/",
                  {R"({"beat": 0, "beats": 1, "key": 60, "lyric": "一"})",
                   R"({"beat": 1, "beats": 1, "key": 62, "lyric": "二"})"},
                  1,
                  "tunwick: warning at line 1, column 9: 第1句的歌词多出 1 个音节：这一句只有 2 "
                  "个要唱的音，多出的不唱\n"},
        WordsCase{"TooFewSyllables",
                  "1,1,1,2,1,3 /*words: la*/",
                  {R"({"beat": 0, "beats": 1, "key": 60, "lyric": "la"})",
                   R"({"beat": 1, "beats": 1, "key": 62, "lyric": null})",
                   R"({"beat": 2, "beats": 1, "key": 64, "lyric": null})"},
                  1,
                  ""}),
    [](const ::testing::TestParamInfo<WordsCase>& info) { return info.param.name; });

// A fault is reported as plain check reports it, with nothing on standard output; the song's
// warnings come in text order with the look-alike warnings, after the counts.
TEST_F(SongCheckTest, FaultsAndWarningsAsPlainCheckGivesThem) {
  const std::string bad = "/*词: 一*/1,1|2,1";
  const Outcome plain = Check(bad);
  const Outcome json = Check(bad, " --json");
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.err.find("error timeing001!"), std::string::npos) << plain.err;
  EXPECT_EQ(json.status, plain.status);
  EXPECT_EQ(json.out, "");
  EXPECT_EQ(json.err, plain.err);

  const Outcome warned = Check("/*meter: x/y*/ /*title:*/do＝F,1,1\n|1,2 /*words: a b c*/");
  EXPECT_EQ(warned.status, 0);
  EXPECT_EQ(warned.out, "phrases: 2\nnotes: 2\nseconds: 1.000\n");
  EXPECT_EQ(warned.err,
            "tunwick: warning at line 1, column 1: 拍号“x/y”不是 2/4 这样的拍号，不计\n"
            "tunwick: warning at line 1, column 16: 标题是空的，不计\n"
            "tunwick: warning at line 1, column 26: 调号“do＝F”没有被识别（应写小写 do、半角等号"
            "和大写字母），这个调号不起作用 (probably meant: do=F)\n"
            "tunwick: warning at line 2, column 6: 第2句的歌词多出 2 个音节：这一句只有 1 个要唱"
            "的音，多出的不唱\n");

  const Outcome usage = Run("check song.txt --json extra");
  EXPECT_EQ(usage.status, 2);
  EXPECT_NE(usage.err.find("usage: tunwick check FILE [--json]"), std::string::npos) << usage.err;
}

// The same music with its title, meter and words, with ordinary comments of the same length in
// their place, and with no comments at all: the same counts and MIDI bytes every time, and the
// side files the parser has always written, each comment in them blanked.
TEST_F(SongCheckTest, WordsChangeNothingThatPlays) {
  namespace fs = std::filesystem;
  const std::string program = temp.File("tunwick");
  ASSERT_TRUE(fs::copy_file(TUNWICK_BINARY, program));  // its side files go beside it
  const struct {
    const char* tagged;
    const char* ordinary;
    const char* bare;
  } scores[] = {
      {"/*标题: 小星星*/ /*拍号: 4/4*/do=F s=90,1,1,1,1,1,5,1,5/*词: 一闪一闪*/|\r\n"
       "1,6,1,6,10,5 /*words: lit-tle star*/ /*words2: how I*/",
       "/*标注: 小星星*/ /*拍注: 4/4*/do=F s=90,1,1,1,1,1,5,1,5/*注: 一闪一闪*/|\r\n"
       "1,6,1,6,10,5 /*wordz: lit-tle star*/ /*wordz2: how I*/",
       "do=F s=90,1,1,1,1,1,5,1,5|\r\n1,6,1,6,10,5"},
      {"/*meter: 3/4, pickup 1*/1,5,/*words: a _ b c*/1,1,0,3,1,5,1,0 &1,1,1,3,10,5",
       "/*metre: 3/4, pickup 1*/1,5,/*wordz: a _ b c*/1,1,0,3,1,5,1,0 &1,1,1,3,10,5",
       "1,5,1,1,0,3,1,5,1,0 &1,1,1,3,10,5"},
  };
  for (const auto& score : scores) {
    std::string counts[3], midi[3], f1[3], f2[3];
    const char* texts[3] = {score.tagged, score.ordinary, score.bare};
    for (int i = 0; i < 3; ++i) {
      temp.Write("song.txt", texts[i]);
      const Outcome check = Run("check song.txt", program);
      ASSERT_EQ(check.status, 0) << texts[i] << "\n" << check.err;
      counts[i] = check.out;
      f1[i] = temp.Read("f1.txt");
      f2[i] = temp.Read("f2.txt");
      ASSERT_EQ(Run("export song.txt song.mid", program).status, 0) << texts[i];
      midi[i] = temp.Read("song.mid");
    }
    for (int i = 1; i < 3; ++i) {
      EXPECT_EQ(counts[i], counts[0]) << texts[i];
      EXPECT_EQ(midi[i], midi[0]) << texts[i];
    }
    EXPECT_EQ(f1[1], f1[0]) << score.ordinary;
    EXPECT_EQ(f2[1], f2[0]) << score.ordinary;
    EXPECT_NE(f1[0], "<missing>");
    // Without comments the echo lacks their blanks, nothing else.
    EXPECT_EQ(WithoutBlanks(f1[2]), WithoutBlanks(f1[0])) << score.bare;
    EXPECT_EQ(WithoutBlanks(f2[2]), WithoutBlanks(f2[0])) << score.bare;
  }
}

}  // namespace
