#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "midi/MidiFileWriter.h"
#include "notation/Score.h"
#include "playback/Player.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kHeader = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00,
                       0x00, 0x00, 0x01, 0x03, 0xC0, 0x4D, 0x54, 0x72, 0x6B};
const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes TrackOf(const Bytes& file) {
  EXPECT_GE(file.size(), 26u);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), kHeader);
  const uint32_t length = (uint32_t{file[18]} << 24) | (uint32_t{file[19]} << 16) |
                          (uint32_t{file[20]} << 8) | file[21];
  EXPECT_EQ(length, file.size() - 22) << "track length must count every track byte";
  return Bytes(file.begin() + 22, file.end());
}

Bytes BytesOf(const std::vector<NoteEvent>& events) {
  return midi::MidiFileBytes(events.data(), static_cast<int32_t>(events.size()));
}

TEST(MidiFileBytes, WorkedExampleIsExactly38Bytes) {
  const std::string golden = testsupport::GoldenFile("two-notes.mid");
  EXPECT_EQ(BytesOf({{60, 0}, {62, 500}, {-5000, 1000}}), Bytes(golden.begin(), golden.end()));
}

TEST(MidiFileBytes, ReadsTheTimelinesEventsInUseOnly) {
  EventTimeline timeline;
  timeline.Insert({60, 0});
  timeline.Insert({62, 500});
  timeline.Insert({-5000, 1000});
  timeline.events[3] = {99, 5000};  // beyond count: never read
  EXPECT_EQ(midi::MidiFileBytes(timeline), BytesOf({{60, 0}, {62, 500}, {-5000, 1000}}));
}

// Each case: the gap in ms after a first event at time 0, and the delta bytes expected.
struct DeltaCase {
  int32_t gapMs;
  Bytes delta;
  const char* why;
};

TEST(MidiFileBytes, DeltasAreTruncatedTicksAsVariableLengthQuantities) {
  // 1.92 ticks per ms; gaps chosen to land on the boundaries of the encoding.
  const DeltaCase cases[] = {
      {0, {0x00}, "chord: same time"},
      {1, {0x01}, "1.92 truncates to 1"},
      {66, {0x7E}, "126.72 -> 126"},
      {67, {0x81, 0x00}, "128.64 -> 128: two bytes"},
      {333, {0x84, 0x7F}, "639.36 -> 639"},
      {500, {0x87, 0x40}, "960"},
      {8533, {0xFF, 0x7F}, "16383.36 -> 16383: largest two-byte value"},
      {8534, {0x81, 0x80, 0x01}, "16385.28 -> 16385"},
      {139810133, {0xFF, 0xFF, 0xFF, 0x7F}, "268435455.36 -> largest four-byte value"},
  };
  for (const DeltaCase& c : cases) {
    const Bytes track = TrackOf(BytesOf({{60, 0}, {62, c.gapMs}}));
    Bytes expected = {0x00, 0x90, 0x3C, 0x7F};
    expected.insert(expected.end(), c.delta.begin(), c.delta.end());
    expected.insert(expected.end(), {0x3E, 0x7F});
    expected.insert(expected.end(), kEndOfTrack.begin(), kEndOfTrack.end());
    EXPECT_EQ(track, expected) << c.why;
  }
}

TEST(MidiFileBytes, VariableLengthQuantitiesAtEachByteBoundary) {
  const std::pair<uint32_t, Bytes> cases[] = {
      {0, {0x00}},
      {127, {0x7F}},
      {128, {0x81, 0x00}},
      {960, {0x87, 0x40}},
      {16383, {0xFF, 0x7F}},
      {16384, {0x81, 0x80, 0x00}},
      {2097151, {0xFF, 0xFF, 0x7F}},
      {2097152, {0x81, 0x80, 0x80, 0x00}},
      {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& [value, expected] : cases) {
    Bytes out = {0xAA};  // appends, never overwrites
    midi::AppendVariableLength(out, value);
    Bytes withPrefix = {0xAA};
    withPrefix.insert(withPrefix.end(), expected.begin(), expected.end());
    EXPECT_EQ(out, withPrefix) << value;
  }
}

TEST(MidiFileBytes, SilentEventsAreNoteOneVelocityZero) {
  // A score whose first note is a rest, then an out-of-range key, a marker and a
  // negative pitch from a very low note: all silent, written 01 00.
  const Bytes track = TrackOf(BytesOf({{-10000, 0},
                                       {132, 0},
                                       {-5000, 500},
                                       {-24, 500},
                                       {128, 500},
                                       {127, 500},
                                       {1, 500},
                                       {0, 500}}));
  const Bytes expected = {0x00, 0x90, 0x01, 0x00,  // rest first
                          0x00, 0x01, 0x00,        // key 132 mended to silent
                          0x87, 0x40, 0x01, 0x00,  // phrase end marker
                          0x00, 0x01, 0x00,        // below zero
                          0x00, 0x01, 0x00,        // key 128
                          0x00, 0x7F, 0x7F,        // key 127 sounds
                          0x00, 0x01, 0x7F,        // key 1 sounds
                          0x00, 0x01, 0x00,        // pitch 0 is silent
                          0x00, 0xFF, 0x2F, 0x00};
  EXPECT_EQ(track, expected);
}

TEST(MidiFileBytes, FractionsAreNotCarriedBetweenDeltas) {
  // Three gaps of 333 ms: 639 ticks each, not 639, 639, 640 (998.08 total -> 1918).
  const Bytes track = TrackOf(BytesOf({{60, 0}, {60, 333}, {60, 666}, {60, 999}}));
  const Bytes expected = {0x00, 0x90, 0x3C, 0x7F, 0x84, 0x7F, 0x3C, 0x7F, 0x84, 0x7F,
                          0x3C, 0x7F, 0x84, 0x7F, 0x3C, 0x7F, 0x00, 0xFF, 0x2F, 0x00};
  EXPECT_EQ(track, expected);
}

TEST(MidiFileBytes, FirstEventsOwnTimeIsNotWritten) {
  EXPECT_EQ(BytesOf({{60, 700}, {62, 1200}}), BytesOf({{60, 0}, {62, 500}}));
}

TEST(MidiFileBytes, EmptyTimelineIsAValidFileWithOnlyTheEndOfTrack) {
  Bytes expected = kHeader;
  expected.insert(expected.end(), {0x00, 0x00, 0x00, 0x04});
  expected.insert(expected.end(), kEndOfTrack.begin(), kEndOfTrack.end());
  EXPECT_EQ(BytesOf({}), expected);
}

TEST(MidiFileBytes, GapsBeyondFourDeltaBytesAreBridgedBySilentEvents) {
  // 2^31 - 1 ms is 4123168602 ticks: 15 full bridges of 0x0FFFFFFF and a remainder.
  const Bytes track = TrackOf(BytesOf({{60, 0}, {62, 2147483647}}));
  const int64_t total = static_cast<int64_t>(2147483647 * 1.92);
  int64_t sum = 0;
  size_t at = 4;
  int silent = 0;
  while (at < track.size() - 4) {
    int64_t delta = 0;
    int length = 0;
    do {
      delta = (delta << 7) | (track[at] & 0x7F);
      ++length;
    } while (track[at++] & 0x80);
    ASSERT_LE(length, 4);
    sum += delta;
    const uint8_t note = track[at], velocity = track[at + 1];
    at += 2;
    if (at < track.size() - 4) {
      EXPECT_EQ(note, 0x01);
      EXPECT_EQ(velocity, 0x00);
      ++silent;
    } else {
      EXPECT_EQ(note, 0x3E);
      EXPECT_EQ(velocity, 0x7F);
    }
  }
  EXPECT_EQ(sum, total);
  EXPECT_EQ(silent, 15);
}

TEST(MidiFileBytes, EventsOutOfOrderAreRefused) {
  EXPECT_THROW(BytesOf({{60, 500}, {62, 0}}), midi::MidiFileError);
}

// The export's road from text to bytes: the player builds the whole-score timeline without
// sound, and the file is made from it.
class SilentPlatform : public PlayerPlatform {
 public:
  void SetTimer1() override { ++timerStarts; }
  void KillTimer1() override {}
  int32_t ClockMs() override { return 0; }
  int32_t StartCueSound(const char*, int32_t) override { return 0; }
  void StopCueSound() override {}
  void SetVolume(uint32_t) override {}
  void SendShortMessage(uint32_t, int32_t) override { ++sends; }
  void ShowMessage(const char* text) override { messages.push_back(text); }
  int timerStarts = 0;
  int sends = 0;
  std::vector<std::string> messages;
};

Bytes ExportTrack(const char* text) {
  SilentPlatform platform;
  CPlayer player(platform);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(text);
  }
  EXPECT_TRUE(platform.messages.empty());
  EXPECT_EQ(platform.timerStarts, 0);
  EXPECT_EQ(platform.sends, 0);
  return TrackOf(midi::MidiFileBytes(player.Timeline()));
}

TEST(MidiFileExport, ScoresBecomeTheExpectedTracks) {
  // A rest first: the track starts 00 90 01 00. s=120: 500 ms (960 ticks) per beat.
  EXPECT_EQ(ExportTrack("1,0,1,1"), Bytes({0x00, 0x90, 0x01, 0x00, 0x87, 0x40, 0x3C, 0x7F, 0x87,
                                           0x40, 0x01, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
  // A chord: delta 00 between its notes.
  EXPECT_EQ(ExportTrack("0,1,0,3,1,5"),
            Bytes({0x00, 0x90, 0x3C, 0x7F, 0x00, 0x40, 0x7F, 0x00, 0x43, 0x7F, 0x87, 0x40, 0x01,
                   0x00, 0x00, 0xFF, 0x2F, 0x00}));
  // Key 132 ("1000000") is written silent; each phrase's end marker too.
  EXPECT_EQ(ExportTrack("1,1000000|1,1"),
            Bytes({0x00, 0x90, 0x01, 0x00, 0x87, 0x40, 0x01, 0x00, 0x00, 0x3C, 0x7F, 0x87, 0x40,
                   0x01, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
}

// A fresh folder for the file-writing tests, removed with its content afterwards.
class MidiFileWriteTest : public ::testing::Test {
 protected:
  static Bytes ReadFile(const std::string& path) {
    const std::string bytes = testsupport::ReadFileBytes(path);
    return Bytes(bytes.begin(), bytes.end());
  }
  int FileCount() const {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      (void)entry;
      ++n;
    }
    return n;
  }

  testsupport::TempFolder folder;
  const std::string& folder_ = folder.path();
};

TEST_F(MidiFileWriteTest, WritesTheBytesAndReplacesAnOlderFileLeavingNoTemporary) {
  const std::string path = folder_ + "/song.mid";
  const Bytes first = BytesOf({{60, 0}, {62, 500}, {-5000, 1000}});
  midi::WriteMidiFile(path, first);
  EXPECT_EQ(ReadFile(path), first);

  const Bytes second = BytesOf({{64, 0}});
  midi::WriteMidiFile(path, second);
  EXPECT_EQ(ReadFile(path), second);
  EXPECT_EQ(FileCount(), 1) << "only song.mid stays in the folder";

  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IRUSR, 0u);
}

TEST_F(MidiFileWriteTest, AFolderThatDoesNotExistGivesAClearErrorAndWritesNothing) {
  const std::string path = folder_ + "/missing/song.mid";
  try {
    midi::WriteMidiFile(path, BytesOf({{60, 0}}));
    FAIL() << "expected MidiFileError";
  } catch (const midi::MidiFileError& error) {
    const std::string text = error.what();
    EXPECT_NE(text.find(path), std::string::npos) << text;
    EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
  }
}

TEST_F(MidiFileWriteTest, AnUnwritableFolderKeepsTheOldFileWhole) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write into a read-only folder";
  const std::string path = folder_ + "/song.mid";
  const Bytes old = BytesOf({{60, 0}});
  midi::WriteMidiFile(path, old);
  chmod(folder_.c_str(), 0500);
  EXPECT_THROW(midi::WriteMidiFile(path, BytesOf({{62, 0}})), midi::MidiFileError);
  chmod(folder_.c_str(), 0700);
  EXPECT_EQ(ReadFile(path), old);
}

TEST_F(MidiFileWriteTest, ASymbolicLinkIsFollowedAndKept) {
  const std::string target = folder_ + "/song.mid";
  const std::string link = folder_ + "/link.mid";
  ASSERT_EQ(symlink("song.mid", link.c_str()), 0);  // dangling until the first write
  const Bytes first = BytesOf({{60, 0}});
  midi::WriteMidiFile(link, first);
  EXPECT_EQ(ReadFile(target), first);
  const Bytes second = BytesOf({{62, 0}});
  midi::WriteMidiFile(link, second);
  EXPECT_EQ(ReadFile(target), second);
  struct stat info;
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(FileCount(), 2) << "the link and the file it names";
}

TEST_F(MidiFileWriteTest, APathThatIsAFolderIsRefusedAndTheTemporaryRemoved) {
  const std::string path = folder_ + "/song.mid";
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  EXPECT_THROW(midi::WriteMidiFile(path, BytesOf({{60, 0}})), midi::MidiFileError);
  EXPECT_EQ(FileCount(), 1) << "only the folder song.mid stays";
}

}  // namespace
