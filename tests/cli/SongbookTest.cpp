#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CommandStreams.h"
#include "cli/Commands.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Songs() {
  std::vector<fs::path> songs;
  for (const fs::directory_entry& entry : fs::directory_iterator(TUNWICK_SONGBOOK_DIR))
    if (entry.path().extension() == ".txt") songs.push_back(entry.path());
  std::sort(songs.begin(), songs.end());
  return songs;
}

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every song the package installs is checked clean by the parser, as a learner's first
// `tunwick check` would.
TEST(SongbookTest, EverySongChecksClean) {
  const std::vector<fs::path> songs = Songs();
  ASSERT_GE(songs.size(), 8u);
  for (const fs::path& song : songs) {
    SCOPED_TRACE(song.filename().string());
    CapturedStreams captured;
    EXPECT_EQ(RunCheckCommand({song.string()}, captured.streams()), kExitOk) << captured.err();
    EXPECT_EQ(captured.err(), "");
    EXPECT_EQ(captured.out().rfind("phrases: ", 0), 0u) << captured.out();
  }
}

// The songbook teaches the notation by example: several keys and tempi, halves, quarters,
// dotted values and thirds of a beat, rests, and a song in two voices.
TEST(SongbookTest, ShowsTheNotationsRange) {
  std::set<std::string> keys, tempi;
  bool twoVoices = false, dotted = false, thirds = false, rests = false;
  for (const fs::path& song : Songs()) {
    const std::string text = Text(song);
    for (const char* field : {"do=", "s="}) {
      const size_t at = text.find(field);
      if (at == std::string::npos) continue;
      const std::string value = text.substr(at, text.find(',', at) - at);
      (field[0] == 'd' ? keys : tempi).insert(value);
    }
    twoVoices = twoVoices || text.find(" &") != std::string::npos;
    dotted = dotted || text.find(",1.1,") != std::string::npos;
    thirds = thirds || text.find(",0.3,") != std::string::npos;
    rests = rests || text.find(",0|") != std::string::npos;
  }
  EXPECT_GE(keys.size(), 5u);
  EXPECT_GE(tempi.size(), 5u);
  EXPECT_TRUE(twoVoices);
  EXPECT_TRUE(dotted);
  EXPECT_TRUE(thirds);
  EXPECT_TRUE(rests);
}

// The two-voice round renders as sound: both voices are heard, the second entering two bars
// (four seconds at 120 beats a minute) after the first, so the notes come closer together
// where the voices overlap than where the first voice sings alone.
TEST(SongbookTest, TheRoundRendersBothVoices) {
  if (!std::ifstream(TUNWICK_TEST_SOUNDFONT))
    GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  testsupport::TempFolder folder;
  CapturedStreams captured;
  const fs::path round = fs::path(TUNWICK_SONGBOOK_DIR) / "two-tigers-round.txt";
  ASSERT_EQ(RunRenderCommand({round.string(), folder.File("round.wav")}, captured.streams(),
                             RenderMachine{TUNWICK_TEST_SOUNDFONT}),
            kExitOk)
      << captured.err();
  audiotest::Sound sound;
  ASSERT_TRUE(audiotest::ReadSound(folder.File("round.wav"), sound));
  float peak = 0.0f;
  for (float sample : sound.mono) peak = std::max(peak, std::fabs(sample));
  EXPECT_GT(peak, 0.05f) << "silence";
  const std::vector<double> onsets = audiotest::Onsets(sound.mono);
  const auto between = [&](double from, double to) {
    return std::count_if(onsets.begin(), onsets.end(),
                         [&](double t) { return t >= from && t < to; });
  };
  // First voice alone: 8 notes in 0..4 s. Both voices: more distinct onsets in 4..8 s.
  EXPECT_GE(between(0.0, 3.9), 7);
  EXPECT_GT(between(4.0, 7.9), between(0.0, 3.9));
}

}  // namespace
