#include <gtest/gtest.h>
#include <zip.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "importers/MusicXmlReader.h"
#include "tests/importers/ImportedScore.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

// MusicXML files from anywhere: damaged, hostile or not MusicXML at all, plain and in .mxl
// archives. Each is refused with a message or read within bounds; none crashes or hangs.

namespace {

const std::string kScore =
    "<?xml version=\"1.0\"?><score-partwise><part-list><score-part id=\"P1\"><part-name>Voice"
    "</part-name></score-part></part-list><part id=\"P1\"><measure><attributes><divisions>1"
    "</divisions></attributes><note><pitch><step>A</step><octave>4</octave></pitch><duration>4"
    "</duration></note></measure></part></score-partwise>";

const std::string kContainer =
    "<?xml version=\"1.0\"?><container><rootfiles><rootfile full-path=\"music/song.xml\"/>"
    "</rootfiles></container>";

// A zip archive of the named files, made with libzip in a temporary folder.
std::string Archive(const std::vector<std::pair<std::string, std::string>>& files) {
  testsupport::TempFolder folder;
  const std::string path = folder.File("song.mxl");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  EXPECT_NE(archive, nullptr);
  for (const auto& [name, bytes] : files) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    EXPECT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
  }
  EXPECT_EQ(zip_close(archive), 0);
  return testsupport::ReadFileBytes(path);
}

std::string RefusalOf(const std::string& bytes) {
  try {
    importers::ImportMusicXml(bytes, {});
  } catch (const importers::ImportError& error) {
    return error.what();
  }
  return "";
}

TEST(MusicXmlSafetyTest, RefusesWhatIsNoReadableScoreWithAMessage) {
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
      "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>"
      "<score-partwise><work><work-title>&lol3;</work-title></work></score-partwise>";
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"not XML", "just some words", "damaged MusicXML"},
      {"another XML document", "<?xml version=\"1.0\"?><html><body/></html>", "root element"},
      {"a timewise score", "<score-timewise><part-list/></score-timewise>", "timewise"},
      {"an entity bomb", laughs, "entities"},
      {"an undefined entity", "<score-partwise><work><work-title>&x;</work-title></work>",
       "damaged MusicXML"},
      {"cut short", kScore.substr(0, kScore.size() / 2), "damaged MusicXML"},
      {"no measures", "<score-partwise><part-list/></score-partwise>", "no measures"},
      {"an archive without its container", Archive({{"music/song.xml", kScore}}),
       "META-INF/container.xml"},
      {"an archive whose container names a missing score",
       Archive({{"META-INF/container.xml", kContainer}}), "no music/song.xml"},
      {"a damaged archive", "PK\x03\x04 and then nothing that unzips", "damaged .mxl"},
  };
  for (const auto& c : cases) {
    const std::string refusal = RefusalOf(c.bytes);
    EXPECT_NE(refusal.find(c.message), std::string::npos) << c.name << ": " << refusal;
  }
}

TEST(MusicXmlSafetyTest, ReadsTheScoreAnArchiveNames) {
  const std::string mxl =
      Archive({{"META-INF/container.xml", kContainer}, {"music/song.xml", kScore}});
  const importers::ImportedSong song = importers::ImportMusicXml(mxl, {});
  ASSERT_EQ(song.parts.size(), 1u);
  EXPECT_EQ(song.parts[0].name, "Voice");
  EXPECT_EQ(song.parts[0].voices[0].notes.at(0).key, 69);
}

TEST(MusicXmlSafetyTest, RefusesAZipBombBeforeItIsUnpacked) {
  // Seventeen megabytes of spaces pack into a few kilobytes.
  const std::string bomb = Archive(
      {{"META-INF/container.xml", kContainer},
       {"music/song.xml", kScore.substr(0, kScore.size() - 17) + std::string(17 << 20, ' ')}});
  ASSERT_LT(bomb.size(), 200000u);
  EXPECT_NE(RefusalOf(bomb).find("unpacks to over"), std::string::npos) << RefusalOf(bomb);
}

TEST(MusicXmlSafetyTest, ReadsDeepNestingAndHugeNumbersWithinBounds) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<x>";
  for (int i = 0; i < 100000; ++i) deep += "</x>";
  const std::string hostile =
      "<score-partwise><part id=\"P1\"><measure><attributes><divisions>0.000001</divisions>"
      "</attributes><note><pitch><step>Q</step><alter>1e308</alter><octave>99</octave></pitch>"
      "<duration>1e300</duration><voice>" +
      deep + "</voice></note><backup><duration>-5</duration></backup>" +
      "<barline><repeat direction=\"backward\" times=\"1000000\"/></barline>"
      "</measure></part></score-partwise>";
  const auto start = std::chrono::steady_clock::now();
  const importers::ImportedSong song = importers::ImportMusicXml(hostile, {});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ASSERT_EQ(song.parts.size(), 1u);
  const importers::ImportedNote& note = song.parts[0].voices[0].notes.at(0);
  EXPECT_LE(note.key, 127);
  EXPECT_LE(note.length, 256.0);
  EXPECT_LE(song.bars.size(), 16u);  // the repeat is played at most sixteen times
}

TEST(MusicXmlSafetyTest, EndsTheSongBeforeASilenceOfHours) {
  // A score of rests that long would outgrow the score's text in one phrase.
  std::string measures =
      "<measure><attributes><divisions>1</divisions></attributes>"
      "<note><pitch><step>C</step><octave>4</octave></pitch>"
      "<duration>4</duration></note></measure>";
  for (int i = 0; i < 300; ++i)
    measures += "<measure><note><rest/><duration>4</duration></note></measure>";
  measures +=
      "<measure><note><pitch><step>D</step><octave>4</octave></pitch><duration>4</duration>"
      "</note></measure>";
  const importers::ImportedSong song = importers::ImportMusicXml(
      "<score-partwise><part id=\"P1\">" + measures + "</part></score-partwise>", {});
  ASSERT_EQ(song.parts.at(0).voices.at(0).notes.size(), 1u);
  ASSERT_FALSE(song.losses.empty());
  EXPECT_NE(song.losses.back().what.find("silence"), std::string::npos);
}

}  // namespace
