// The song's words in the sing-back panel: each target's syllable written under its bar, kept
// within the note's room and shortened sensibly when the room is narrow.
#include <QFont>
#include <QFontMetricsF>
#include <cmath>
#include <cstdlib>

#include "SingBackFixture.h"
#include "panel/RollSyllables.h"

namespace {

TEST(FitSyllableTest, CentredUnderTheBarWithinItsRoomAndShortenedWhenNarrow) {
  QFont font;
  font.setPixelSize(14);
  const QFontMetricsF m(font);
  const auto width = [&](const char* text) { return m.horizontalAdvance(QString::fromUtf8(text)); };
  const struct {
    const char* name;
    const char* syllable;
    double centre, left, right;
    const char* shown;  // null: shortened with "…", starting as the syllable does
  } cases[] = {
      {"fits: as written", "Twin-", 100.0, 50.0, 200.0, "Twin-"},
      {"Chinese fits", "花，", 100.0, 50.0, 200.0, "花，"},
      {"punctuation goes first", "花，", 100.0, 100.0, 100.0 + width("花") + 0.5, "花"},
      {"a hyphen too", "Twin-", 100.0, 100.0, 100.0 + width("Twin") + 0.5, "Twin"},
      {"a long Latin syllable gives way to an ellipsis", "Strengths,", 100.0, 100.0,
       100.0 + width("Stre…") + 0.5, nullptr},
      {"no room for a letter: nothing", "Strengths,", 100.0, 100.0, 101.0, ""},
      {"no room for a character: nothing", "花，", 100.0, 100.0, 101.0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FittedSyllable fitted =
        FitSyllable(QString::fromUtf8(c.syllable), m, c.centre, c.left, c.right, 30.0);
    if (c.shown != nullptr) {
      EXPECT_EQ(fitted.text, QString::fromUtf8(c.shown));
    } else {
      EXPECT_TRUE(fitted.text.startsWith(QStringLiteral("S"))) << fitted.text.toStdString();
      EXPECT_TRUE(fitted.text.endsWith(QChar(0x2026))) << fitted.text.toStdString();
    }
    if (fitted.text.isEmpty()) continue;
    EXPECT_GE(fitted.box.left(), c.left - 1e-9);
    EXPECT_LE(fitted.box.right(), c.right + 1e-9);
    EXPECT_DOUBLE_EQ(fitted.box.top(), 30.0);
    EXPECT_LE(m.horizontalAdvance(fitted.text), c.right - c.left + 1e-9);
  }
  // In a wide room the syllable is centred on its bar, and pushed in at the room's edge.
  EXPECT_NEAR(FitSyllable(QStringLiteral("star"), m, 100.0, 0.0, 400.0, 0.0).box.center().x(),
              100.0, 1e-9);
  EXPECT_DOUBLE_EQ(FitSyllable(QStringLiteral("star"), m, 52.0, 50.0, 400.0, 0.0).box.left(), 50.0);
}

// The words of a phrase as the panel shows them: a syllable under each sounding note's bar,
// a held syllable's line, nothing for a rest; the words come with the loaded score.
TEST_F(SingBackPanelTest, EachTargetsSyllableIsWrittenUnderItsBar) {
  StartWithEar("s=100,/*words: Twin- kle, _*/1,1,1,1,1,2,1,0,/*词: 星，*/1,5|1,1");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_TRUE(RunUntil([&] { return panel.Row() == 0; }));
  const std::vector<CSingBackPanel::NoteView> views = panel.NoteViews();
  ASSERT_EQ(views.size(), 4u) << "the rest is no target";
  const struct {
    const char* syllable;
    bool held;
  } expected[] = {{"Twin-", false}, {"kle,", false}, {"", true}, {"星，", false}};
  for (size_t i = 0; i < views.size(); ++i) {
    SCOPED_TRACE(i);
    const CSingBackPanel::NoteView& view = views[i];
    EXPECT_EQ(view.syllable, QString::fromUtf8(expected[i].syllable));
    EXPECT_EQ(view.held, expected[i].held);
    EXPECT_GE(view.syllableBox.top(), view.bar.bottom());
    EXPECT_LT(view.syllableBox.top(), view.bar.bottom() + 4);
    if (!view.held) {
      EXPECT_NEAR(view.syllableBox.center().x(), view.bar.center().x(), 1.0);
    }
  }
  // The held syllable's line runs under its bar, from where "kle," ends.
  EXPECT_GE(views[2].syllableBox.left(), views[1].syllableBox.right());
  EXPECT_NEAR(views[2].syllableBox.right(), views[2].bar.right(), 1e-9);
  EXPECT_GT(views[2].syllableBox.width(), 0.0);

  // A developer's look at it: TUNWICK_PANEL_WORDS_SCREENSHOT names a PNG to write.
  if (const char* shot = std::getenv("TUNWICK_PANEL_WORDS_SCREENSHOT")) {
    EXPECT_TRUE(dlg->SingBackPanel().grab().save(QString::fromLocal8Bit(shot)));
  }

  // Narrowed, every syllable still keeps to its room, which reaches over the notes it is held
  // on to the next note with a syllable of its own: shortened or left out, never overlapping.
  dlg->SingBackPanel().resize(dlg->SingBackPanel().minimumSize());
  const std::vector<CSingBackPanel::NoteView> narrow = panel.NoteViews();
  ASSERT_EQ(narrow.size(), 4u);
  const size_t nextOwn[] = {1, 3, 3};  // the next note with a syllable of its own
  for (size_t i = 0; i < 3; ++i) {
    if (!narrow[i].syllable.isEmpty()) {
      EXPECT_GE(narrow[i].syllableBox.left(), narrow[i].bar.left() - 1e-9) << i;
      EXPECT_LE(narrow[i].syllableBox.right(), narrow[nextOwn[i]].bar.left() + 1e-9) << i;
    }
  }

  // A score without words: nothing under the bars, the panel as before.
  dlg->Player().OnPause();
  dlg->SetEditText(QString::fromUtf8(singbacktest::kThreePhrases));
  dlg->Click(IDC_LOAD);
  dlg->Player().OnPause();
  dlg->Click(IDC_SING_BACK);
  ASSERT_TRUE(RunUntil([&] { return panel.Row() == 0 && !panel.Targets().empty(); }));
  for (const CSingBackPanel::NoteView& view : panel.NoteViews()) {
    EXPECT_TRUE(view.syllable.isEmpty());
    EXPECT_FALSE(view.held);
  }
}

}  // namespace
