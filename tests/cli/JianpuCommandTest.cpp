// `tunwick jianpu`: the printed sheet read back from the PDF (pdftotext), SVG and PNG files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/CommandLineFixture.h"
#include "tests/support/FileBytes.h"

namespace {

using testsupport::ReadFileBytes;

bool HavePdfToText() { return std::system("command -v pdftotext >/dev/null 2>&1") == 0; }

// The lines of a PDF's text (pdftotext, in reading order; with "-layout", as they stand on the
// page).
std::vector<std::string> PdfLines(const std::string& pdf, const std::string& folder,
                                  const std::string& options = "") {
  const std::string text = folder + "/pdf.txt";
  EXPECT_EQ(
      std::system(("pdftotext -enc UTF-8 " + options + " '" + pdf + "' '" + text + "'").c_str()),
      0);
  std::vector<std::string> lines;
  std::string line;
  for (char c : ReadFileBytes(text)) {
    if (c == '\n' || c == '\f') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

TEST_F(CommandLineTest, JianpuPdfReadsBackTheNotesDigitsInOrder) {
  if (!HavePdfToText()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  // Octaves, a sharp, a triplet, a dotted note and a rest, over enough phrases for pages.
  // (A chord's upper digits stand over the line, and are read as a line of their own.)
  const std::string phrase = "0.1,5,0.1,10,1,0.3,0.3,1.5,0.3,2,0.3,3,1.1,6,0.1,0";
  const std::string phraseDigits = "51312360";
  std::string score = "do=F,s=100," + phrase;
  std::string expected = phraseDigits;
  for (int i = 1; i < 90; ++i) {
    score += (i == 45 ? "|s=90," : "|") + phrase;
    expected += phraseDigits;
  }
  const std::string in = ScoreFile("song.txt", score);
  const std::string pdf = folder + "/song.pdf";
  const Outcome run = Tunwick("jianpu '" + in + "' '" + pdf + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const std::vector<std::string> lines = PdfLines(pdf, folder);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "song");  // the title: the file's name
  std::string digits;
  std::vector<std::string> headers;
  for (const std::string& line : lines) {
    // Only the key and tempo lines carry digits besides the notes, each with its "=".
    if (line.find('=') != std::string::npos) {
      headers.push_back(line);
      continue;
    }
    for (char c : line)
      if (c >= '0' && c <= '9') digits += c;
  }
  EXPECT_EQ(digits, expected);
  ASSERT_EQ(headers.size(), 2u);
  EXPECT_NE(headers[0].find("1=F"), std::string::npos) << headers[0];
  EXPECT_NE(headers[0].find("♩=100"), std::string::npos) << headers[0];
  EXPECT_NE(headers[1].find("♩=90"), std::string::npos) << headers[1];

  // More than one A4 page, each numbered (as outlines: not among the digits above).
  const std::string info = folder + "/info.txt";
  ASSERT_EQ(std::system(("pdfinfo '" + pdf + "' > '" + info + "'").c_str()), 0);
  const std::string pdfInfo = ReadFileBytes(info);
  EXPECT_NE(pdfInfo.find("595 x 842 pts (A4)"), std::string::npos) << pdfInfo;
  EXPECT_EQ(pdfInfo.find("Pages:          1\n"), std::string::npos) << pdfInfo;
}

TEST_F(CommandLineTest, JianpuWritesSvgAndPngAndRefusesABadScore) {
  const std::string in = ScoreFile("song.txt", "1,1,1,2|0,1,0,3,1,5 &1,0");
  Outcome run = Tunwick("jianpu '" + in + "' '" + folder + "/s.svg' --title 小星星");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string svg = ReadFileBytes(folder + "/s.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("小星星"), std::string::npos);
  run = Tunwick("jianpu '" + in + "' '" + folder + "/s.PNG'");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string png = ReadFileBytes(folder + "/s.PNG");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 4), "\x89PNG");
  // One A4 page at 150 dots per inch: the IHDR chunk's width and height.
  const auto word = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) |
           (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  EXPECT_EQ(word(16), 1240u);
  EXPECT_EQ(word(20), 1754u);

  // A score the player refuses: the parser's message, and no file.
  const std::string bad = ScoreFile("bad.txt", "1,1|1,8");
  run = Tunwick("jianpu '" + bad + "' '" + folder + "/bad.pdf'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("error tune 1111!"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(folder + "/bad.pdf"));
  // An output that cannot be written.
  run = Tunwick("jianpu '" + in + "' '" + folder + "/no/such/folder/a.pdf'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

TEST_F(CommandLineTest, JianpuPageReadsBackTitleMeterAndWordsInOrder) {
  if (!HavePdfToText()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  // Two verses, a pickup, a held syllable, a note left without one, and "fi" (no ligature).
  const std::string in =
      ScoreFile("twinkle.txt",
                "/*title: Fifty Twinkles 小星星*//*meter: 2/4, pickup 1*/do=F,s=72,"
                "/*words: Oh twin-kle twin-kle*//*词2: 啊一闪一闪*/"
                "1,5,1,1,1,1,1,5,1,5|/*words: lit-tle _ fire*/"
                "/*词2: 亮 晶 * 晶*/1,6,1,6,1,5,1,5");
  const std::string pdf = folder + "/twinkle.pdf";
  const Outcome run = Tunwick("jianpu '" + in + "' '" + pdf + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  // Line by line as printed: each verse's syllables on a line of their own.
  std::vector<std::string> lines = PdfLines(pdf, folder, "-layout");
  for (std::string& line : lines)
    line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
  const std::vector<std::string> expected = {"FiftyTwinkles小星星", "1=F2/4♩=72", "511556655",
                                             "Ohtwin-kletwin-klelit-tlefire", "啊一闪一闪亮晶晶"};
  EXPECT_EQ(lines, expected);

  // The words are text in the SVG too.
  ASSERT_EQ(Tunwick("jianpu '" + in + "' '" + folder + "/twinkle.svg'").status, 0);
  const std::string svg = ReadFileBytes(folder + "/twinkle.svg");
  for (const char* syllable : {"twin-", "kle", "闪", "晶"})
    EXPECT_NE(svg.find(syllable), std::string::npos) << syllable;
}

}  // namespace
