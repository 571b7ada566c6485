// The range exercise in the sing-back panel, with a fake microphone the test sings into: the
// live note, the range found and kept in the user's settings, typed and cleared ranges, and
// the player playing each phrase where the range puts it.
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <memory>
#include <mutex>
#include <ostream>

#include "TestDialog.h"
#include "panel/RangeStrip.h"
#include "panel/SingBackPanel.h"
#include "playback/Player.h"
#include "window/DialogLayout.h"
#include "window/UserSettings.h"

// Failure messages show texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace {

constexpr double kHopMs = 5.0;

// A microphone that hears what the test sings.
class FakeListener : public PitchListener {
 public:
  explicit FakeListener(bool& open) : open_(open) { open_ = true; }
  ~FakeListener() override { open_ = false; }

  void FramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const override {
    std::lock_guard<std::mutex> hold(lock_);
    if (from < frames_.size()) out.insert(out.end(), frames_.begin() + from, frames_.end());
  }
  double HopMs() const override { return kHopMs; }

  // Sings `key` for lengthMs after what was sung so far (key 0: silence).
  void Sing(int32_t key, double lengthMs) {
    std::lock_guard<std::mutex> hold(lock_);
    for (double t = 0; t < lengthMs; t += kHopMs, at_ += kHopMs)
      frames_.push_back({at_, 100.0 * key, key > 0 ? 0.9 : 0.0, key > 0});
  }

 private:
  bool& open_;
  mutable std::mutex lock_;
  std::vector<listening::PitchFrame> frames_;
  double at_ = 0.0;
};

class RangeExerciseTest : public DialogTest {
 protected:
  void SetUp() override {
    OpenUserSettings()->clear();
    DialogTest::SetUp();
    dlg->makeRangeListener = [this] {
      auto made = std::make_unique<FakeListener>(microphoneOpen);
      listener = made.get();
      return made;
    };
  }
  void TearDown() override {
    DialogTest::TearDown();
    OpenUserSettings()->clear();
  }
  CRangeStrip& strip() { return dlg->SingBackPanel().RangeStrip(); }
  QString Stored() { return OpenUserSettings()->value(QStringLiteral("voice/range")).toString(); }

  FakeListener* listener = nullptr;
  bool microphoneOpen = false;
};

TEST_F(RangeExerciseTest, SingingLowToHighFindsTheRangeShowsItLiveAndKeepsIt) {
  Start();
  EXPECT_EQ(strip().RangeText(), QStringLiteral("音域：未设定（按原调）"));
  dlg->Click(IDC_PLAY_ALL);
  strip().SingButton()->click();
  ASSERT_TRUE(microphoneOpen);
  EXPECT_FALSE(dlg->Player().Position().playing) << "the learner sings alone";
  EXPECT_EQ(strip().SingButton()->text(), QStringLiteral("停止"));

  // A growl, the scale A2 to E4 held 400 ms a note, a squeak.
  listener->Sing(33, 150);
  for (int32_t key = 45; key <= 52; ++key) listener->Sing(key, 400);
  strip().Poll();
  EXPECT_EQ(strip().LiveText(), QStringLiteral("正在唱：E3　唱稳的：A2–E3"));
  for (int32_t key = 53; key <= 64; ++key) listener->Sing(key, 400);
  listener->Sing(84, 150);
  strip().Poll();
  EXPECT_TRUE(strip().LiveText().startsWith(QStringLiteral("正在唱：C6"))) << "live, squeak too";

  strip().SingButton()->click();
  EXPECT_FALSE(microphoneOpen) << "stop lets the microphone go";
  EXPECT_EQ(strip().RangeText(), QStringLiteral("音域：A2–E4"));
  EXPECT_EQ(strip().NoticeText(), QStringLiteral("唱出的音域：A2–E4"));
  ASSERT_TRUE(dlg->Player().Range().has_value());
  EXPECT_EQ(dlg->Player().Range()->low, 45);
  EXPECT_EQ(dlg->Player().Range()->high, 64);
  EXPECT_EQ(Stored(), QStringLiteral("A2-E4"));

  // The player now plays the first phrase (C4-C5) an octave down, and says so.
  dlg->Click(IDC_TEACHING);
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg->windowTitle(),
            QStringLiteral("Tunwick — 教歌模式 · 第 1/4 句 · 第 1/2 遍 · 降 12 半音"));
  EXPECT_EQ(dlg->Player().Timeline().events[0].pitch, 48);
}

TEST_F(RangeExerciseTest, ATryWithoutHeldNotesOrNoMicrophoneLeavesTheRangeAsItWas) {
  Start();
  strip().RangeEdit()->setText(QStringLiteral("C3-G4"));
  strip().RangeEdit()->returnPressed();
  ASSERT_EQ(Stored(), QStringLiteral("C3-G4"));

  struct Case {
    const char* name;
    std::vector<std::pair<int32_t, double>> sung;
    const char* notice;
  };
  const Case cases[] = {
      {"nothing held 300 ms", {{45, 250}, {0, 100}, {50, 250}}, "没有听到唱稳的音"},
      {"one note held", {{33, 100}, {50, 800}}, "只唱稳了一个音 D3"},
      {"silence", {{0, 2000}}, "没有听到唱稳的音"},
  };
  for (const Case& c : cases) {
    strip().SingButton()->click();
    ASSERT_TRUE(microphoneOpen) << c.name;
    for (const auto& [key, ms] : c.sung) listener->Sing(key, ms);
    strip().SingButton()->click();
    EXPECT_TRUE(strip().NoticeText().startsWith(QString::fromUtf8(c.notice))) << c.name;
    EXPECT_EQ(strip().RangeText(), QStringLiteral("音域：C3–G4")) << c.name;
    EXPECT_EQ(Stored(), QStringLiteral("C3-G4")) << c.name;
  }

  dlg->makeRangeListener = nullptr;
  strip().SingButton()->click();
  EXPECT_TRUE(strip().NoticeText().startsWith(QStringLiteral("无法听音：No audio input device")));
  EXPECT_FALSE(strip().Listening());
  EXPECT_EQ(Stored(), QStringLiteral("C3-G4"));
}

TEST_F(RangeExerciseTest, ARangeIsTypedOrClearedAndReadBackAtTheNextStart) {
  Start();
  struct Case {
    const char* typed;
    const char* stored;  // after it
    const char* shown;
  };
  const Case cases[] = {
      {"a2 - e4", "A2-E4", "音域：A2–E4"},
      {"E4-A2", "A2-E4", "音域：A2–E4"},  // refused: low above high
      {"hello", "A2-E4", "音域：A2–E4"},
      {"F#3-Bb4", "F#3-A#4", "音域：F#3–A#4"},
  };
  for (const Case& c : cases) {
    strip().RangeEdit()->setText(QString::fromUtf8(c.typed));
    strip().RangeEdit()->returnPressed();
    EXPECT_EQ(Stored(), QString::fromUtf8(c.stored)) << c.typed;
    EXPECT_EQ(strip().RangeText(), QString::fromUtf8(c.shown)) << c.typed;
  }
  EXPECT_EQ(strip().NoticeText(), QString()) << "a good range clears the last complaint";

  // The next start reads it back.
  auto next = std::make_unique<TestDlg>();
  ASSERT_TRUE(next->Player().Range().has_value());
  EXPECT_EQ(next->Player().Range()->low, 54);
  EXPECT_EQ(next->SingBackPanel().RangeStrip().RangeText(), QStringLiteral("音域：F#3–A#4"));

  strip().ClearButton()->click();
  EXPECT_FALSE(dlg->Player().Range().has_value());
  EXPECT_FALSE(OpenUserSettings()->contains(QStringLiteral("voice/range")));
  EXPECT_EQ(strip().RangeText(), QStringLiteral("音域：未设定（按原调）"));
  EXPECT_FALSE(strip().ClearButton()->isEnabled());

  // A setting edited into nonsense reads as none.
  OpenUserSettings()->setValue(QStringLiteral("voice/range"), QStringLiteral("low-high"));
  EXPECT_FALSE(TestDlg().Player().Range().has_value());
}

}  // namespace
