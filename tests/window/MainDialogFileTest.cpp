// The score text file commands and the MIDI export through the dialog: the byte format
// on disk, the edit box afterwards, and the messages when a file cannot be used.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTextBlock>
#include <ostream>
#include <string>

#include "TestDialog.h"
#include "midi/MidiFileWriter.h"
#include "tests/support/FileBytes.h"
#include "window/DialogLayout.h"

namespace {

std::string ReadBytes(const QString& path) {
  return testsupport::ReadFileBytes(QFile::encodeName(path).toStdString());
}

void WriteBytes(const QString& path, const std::string& bytes) {
  ASSERT_TRUE(testsupport::WriteFileBytes(QFile::encodeName(path).toStdString(), bytes));
}

// The worked example of the MIDI file format: 60 at 0 ms, 62 at 500 ms, end at 1000 ms.
const std::string kTwoNoteMidi = testsupport::GoldenFile("two-notes.mid");

TEST_F(DialogTest, SaveAndReadRoundTrip) {
  Start();
  const QString path = PathOf("two.txt");
  dlg->SetEditText(QStringLiteral("1,1\n1,2"));
  dlg->fileAnswer = path;
  dlg->Click(IDC_SAVE_TEXT);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(ReadBytes(path), std::string("\x31\x2C\x31\x0D\x0D\x0A\x31\x2C\x32"));

  dlg->Click(IDC_CLEAR);
  ASSERT_TRUE(dlg->ScoreEdit()->toPlainText().isEmpty());
  dlg->Click(IDC_READ_TEXT);
  EXPECT_EQ(dlg->scoreText, "1,1\r\n1,2");
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("1,1\n1,2"));
  EXPECT_EQ(dlg->ScoreEdit()->blockCount(), 2);
  // Reading loads nothing: the built-in score stays loaded.
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 4);
}

TEST_F(DialogTest, SavingAnEmptyBoxCreatesAnEmptyFile) {
  Start();
  const QString path = PathOf("empty.txt");
  dlg->fileAnswer = path;
  dlg->Click(IDC_SAVE_TEXT);
  EXPECT_EQ(ReadBytes(path), "");
}

struct ReadCase {
  const char* name;
  std::string fileBytes;
  std::string scoreText;
  QString shown;
};

// Cases print as their names in test listings.
void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class ReadTest : public DialogTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadTest, FileBytesBecomeTheEditText) {
  const ReadCase& c = GetParam();
  Start();
  dlg->SetEditText(QStringLiteral("old text"));
  const QString path = PathOf("in.txt");
  WriteBytes(path, c.fileBytes);
  dlg->fileAnswer = path;
  dlg->Click(IDC_READ_TEXT);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(dlg->scoreText, c.scoreText);
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadTest,
    ::testing::Values(
        // A file with CR LF line ends (not written by the program) gives bare LF.
        ReadCase{"BareCrLf", "1,1\r\n1,2", "1,1\n1,2", QStringLiteral("1,1\n1,2")},
        ReadCase{"Empty", "", "", QString()},
        ReadCase{"CtrlZEnds",
                 std::string("1,1\x1A"
                             "1,2",
                             7),
                 "1,1", QStringLiteral("1,1")},
        ReadCase{"ZeroEnds",
                 std::string("1,1\0"
                             "1,2",
                             7),
                 "1,1", QStringLiteral("1,1")},
        // A Windows file: GBK comment, CR CR LF line breaks.
        ReadCase{"Gbk", "/*\xD6\xD0\xCE\xC4*/1,1\r\r\n1,2",
                 "/*\xE4\xB8\xAD\xE6\x96\x87*/1,1\r\n1,2", QStringLiteral("/*中文*/1,1\n1,2")},
        ReadCase{"Utf8", "/*\xE4\xB8\xAD*/1,1", "/*\xE4\xB8\xAD*/1,1",
                 QStringLiteral("/*中*/1,1")}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

struct RoundTripCase {
  const char* name;
  std::string fileBytes;
  std::string savedBytes;
};

void PrintTo(const RoundTripCase& c, std::ostream* out) { *out << c.name; }

class RoundTripTest : public DialogTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTripTest, AFileReadAndSavedAgainKeepsItsLineBreaks) {
  const RoundTripCase& c = GetParam();
  Start();
  WriteBytes(PathOf("in.txt"), c.fileBytes);
  dlg->fileAnswer = PathOf("in.txt");
  dlg->Click(IDC_READ_TEXT);
  dlg->fileAnswer = PathOf("out.txt");
  dlg->Click(IDC_SAVE_TEXT);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(ReadBytes(PathOf("out.txt")), c.savedBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RoundTripTest,
    ::testing::Values(
        RoundTripCase{"CrLf", "1,1\r\n1,2\r\n", "1,1\r\n1,2\r\n"},
        RoundTripCase{"CrCrLf", "1,1\r\r\n1,2\r\r\n", "1,1\r\r\n1,2\r\r\n"},
        // Written on Linux: read as it is, saved with CR LF.
        RoundTripCase{"BareLf", "1,1\n1,2\n", "1,1\r\n1,2\r\n"},
        RoundTripCase{"MixedWithABareCr", "1,1\r\n1,2\r\r\n\r1,3\n", "1,1\r\n1,2\r\r\n\r1,3\r\n"},
        // GBK is read as UTF-8 and saved so: the meaning and the line breaks stay.
        RoundTripCase{"Gbk", "/*\xD6\xD0\xCE\xC4*/1,1\r\n", "/*\xE4\xB8\xAD\xE6\x96\x87*/1,1\r\n"}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

TEST_F(DialogTest, TypedLineBreaksAreCrLfAndTheOthersKeepTheirBytes) {
  Start();
  QPlainTextEdit* edit = dlg->ScoreEdit();
  dlg->Click(IDC_CLEAR);
  QTest::keyClicks(edit, "1,1");
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClicks(edit, "1,2");
  dlg->fileAnswer = PathOf("typed.txt");
  dlg->Click(IDC_SAVE_TEXT);
  EXPECT_EQ(ReadBytes(PathOf("typed.txt")), std::string("\x31\x2C\x31\x0D\x0D\x0A\x31\x2C\x32"));

  // A file with CR LF line ends (bare LF in the text), edited: a note added to the first
  // line, a line typed after the last.
  WriteBytes(PathOf("in.txt"), "1,1\r\n1,2\r\n1,3");
  dlg->fileAnswer = PathOf("in.txt");
  dlg->Click(IDC_READ_TEXT);
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(3);
  edit->setTextCursor(cursor);
  QTest::keyClicks(edit, ",1,4");
  cursor.movePosition(QTextCursor::End);
  edit->setTextCursor(cursor);
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClicks(edit, "1,5");
  // Joining two lines takes one line break away; the others stay as they were.
  cursor.setPosition(edit->document()->findBlockByNumber(2).position());
  edit->setTextCursor(cursor);
  QTest::keyClick(edit, Qt::Key_Backspace);
  dlg->fileAnswer = PathOf("edited.txt");
  dlg->Click(IDC_SAVE_TEXT);
  EXPECT_EQ(ReadBytes(PathOf("edited.txt")), "1,1,1,4\r\n1,21,3\r\r\n1,5");
}

TEST_F(DialogTest, ALoadedFileGivesSideFilesWithItsOwnLineEnds) {
  Start();
  WriteBytes(PathOf("in.txt"), "1,1\r\n1,2");
  dlg->fileAnswer = PathOf("in.txt");
  dlg->Click(IDC_READ_TEXT);
  dlg->Click(IDC_LOAD);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(ReadBytes(PathOf("f1.txt")), "1,1\r\n1,2");
  EXPECT_EQ(ReadBytes(PathOf("f2.txt")), "1,1\r\n1,2");
}

TEST_F(DialogTest, GbkFileLoadsAfterReading) {
  Start();
  const QString path = PathOf("gbk.txt");
  WriteBytes(path, "/*\xD0\xA1\xD0\xC7\xD0\xC7*/1,1,1,1,1,5\r\r\n");
  dlg->fileAnswer = path;
  dlg->Click(IDC_READ_TEXT);
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("/*小星星*/1,1,1,1,1,5\n"));
  dlg->Click(IDC_LOAD);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 1);
}

// The first file dialog opens in the songbook beside the program; every later one in the
// folder of the last file chosen, whichever command chose it; a cancelled dialog changes
// nothing.
TEST_F(DialogTest, FileDialogsOpenInTheSongbookThenInTheLastFolderUsed) {
  Start();
  const QFileInfo songbook(QCoreApplication::applicationDirPath() + QStringLiteral("/examples"));
  ASSERT_TRUE(songbook.isDir()) << "the build copies the songbook beside the test program";
  EXPECT_EQ(dlg->FileDialogFolder(), songbook.absoluteFilePath());

  const QString there = PathOf("there");
  ASSERT_TRUE(QDir().mkpath(there));
  WriteBytes(there + QStringLiteral("/song.txt"), "1,1");
  dlg->fileAnswer = there + QStringLiteral("/song.txt");
  dlg->Click(IDC_READ_TEXT);
  EXPECT_EQ(dlg->FileDialogFolder(), QFileInfo(there).absoluteFilePath());

  dlg->fileAnswer.clear();
  dlg->Click(IDC_SAVE_MIDI);
  EXPECT_EQ(dlg->FileDialogFolder(), QFileInfo(there).absoluteFilePath());

  dlg->fileAnswer = PathOf("out.mid");
  dlg->Click(IDC_SAVE_MIDI);
  EXPECT_EQ(dlg->FileDialogFolder(), QFileInfo(PathOf("out.mid")).absolutePath());
}

TEST_F(DialogTest, CancelledDialogsDoNothing) {
  Start();
  dlg->SetEditText(QStringLiteral("1,1"));
  dlg->fileAnswer.clear();
  dlg->Click(IDC_SAVE_TEXT);
  dlg->Click(IDC_READ_TEXT);
  dlg->Click(IDC_SAVE_MIDI);
  EXPECT_EQ(dlg->fileDialogs.size(), 3u);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("1,1"));
}

TEST_F(DialogTest, UnreadableFileIsReported) {
  Start();
  dlg->SetEditText(QStringLiteral("kept"));
  dlg->fileAnswer = PathOf("missing.txt");
  dlg->Click(IDC_READ_TEXT);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(dlg->boxes[0].text.startsWith(QStringLiteral("无法打开文件“")));
  EXPECT_TRUE(dlg->boxes[0].text.contains(PathOf("missing.txt")));
  EXPECT_EQ(dlg->boxes[0].caption, QStringLiteral("Tunwick"));
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("kept"));
}

TEST_F(DialogTest, TooLongFileIsRefusedWithAMessage) {
  Start();
  dlg->SetEditText(QStringLiteral("kept"));
  const QString path = PathOf("long.txt");
  WriteBytes(path, std::string(30000, '1'));
  dlg->fileAnswer = path;
  dlg->Click(IDC_READ_TEXT);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("29999")));
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("kept"));

  // A GBK file is counted once converted; the message names both lengths.
  dlg->boxes.clear();
  std::string gbk;
  for (int i = 0; i < 10000; ++i) gbk += "\xD6\xD0";
  WriteBytes(path, gbk);
  dlg->Click(IDC_READ_TEXT);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("GBK 文本 20000 字节")));
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("UTF-8 后 30000 字节")));
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("29999")));
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("kept"));

  // 29999 bytes is the most that fits, and arrives whole.
  dlg->boxes.clear();
  WriteBytes(path, std::string(29999, '1'));
  dlg->Click(IDC_READ_TEXT);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(dlg->scoreText.size(), 29999u);
}

// A file that is not text (a picture, UTF-16, bytes of no encoding) is refused, named in the
// message, and the box keeps what it held; text in GBK, or ended by a lone zero, is read.
TEST_F(DialogTest, AFileThatIsNotTextIsRefusedAndTheBoxKept) {
  Start();
  const struct {
    const char* name;
    std::string bytes;
    bool refused;
    QString shown;  // when read
  } cases[] = {
      {"png", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(24, '\0'), true, {}},
      {"utf16",
       std::string("1\0,\0"
                   "1\0",
                   6),
       true,
       {}},
      {"neither UTF-8 nor GBK", "1,1/*\xFF\xFF*/", true, {}},
      {"gbk", "/*\xD6\xD0*/1,1\r\n", false, QStringLiteral("/*中*/1,1\n")},
      {"a lone zero ends the text",
       std::string("1,1\0"
                   "1,2",
                   7),
       false, QStringLiteral("1,1")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dlg->boxes.clear();
    dlg->SetEditText(QStringLiteral("1,1\n|1,2"));
    const QString path = PathOf("picture.txt");
    WriteBytes(path, c.bytes);
    dlg->fileAnswer = path;
    dlg->Click(IDC_READ_TEXT);
    if (!c.refused) {
      EXPECT_TRUE(dlg->boxes.empty());
      EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), c.shown);
      continue;
    }
    ASSERT_EQ(dlg->boxes.size(), 1u);
    EXPECT_EQ(
        dlg->boxes[0].text,
        QStringLiteral("文件“%1”不是文本文件：乐谱是 UTF-8 或 GBK 文本。文件没有读入。").arg(path));
    EXPECT_EQ(dlg->boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("1,1\n|1,2"));
    dlg->Click(IDC_LOAD);  // and loads as it would have
    EXPECT_EQ(dlg->boxes.size(), 1u);
    EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 2);
  }
}

TEST_F(DialogTest, UncreatableFileIsReported) {
  Start();
  dlg->SetEditText(QStringLiteral("1,1"));
  dlg->fileAnswer = PathOf("no-such-folder/score.txt");
  dlg->Click(IDC_SAVE_TEXT);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(dlg->boxes[0].text.startsWith(QStringLiteral("无法保存文件“")));

  dlg->fileAnswer = PathOf("no-such-folder/score.mid");
  dlg->Click(IDC_SAVE_MIDI);
  ASSERT_EQ(dlg->boxes.size(), 2u);
  EXPECT_TRUE(dlg->boxes[1].text.startsWith(QStringLiteral("无法保存 MIDI 文件“")));
}

TEST_F(DialogTest, ExportWritesTheKnownBytes) {
  Start();
  dlg->Click(IDC_PLAY_ALL);  // playing: the export stops it
  const QString path = PathOf("two.mid");
  dlg->SetEditText(QStringLiteral("1,1,1,2"));
  dlg->fileAnswer = path;
  dlg->Click(IDC_SAVE_MIDI);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(ReadBytes(path), kTwoNoteMidi);

  const CPlayer& player = dlg->Player();
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_FALSE(dlg->fake.timerSet);
  EXPECT_EQ(player.Mode(), PlayAllMode);
  EXPECT_EQ(player.AutoPlay(), 1);
  EXPECT_EQ(player.Timeline().cursor, 0);
  // Continue plays the exported score from its start.
  dlg->Click(IDC_CONTINUE);
  dlg->Player().OnTimer(1);
  EXPECT_EQ(dlg->fake.SentSince().back(), 0x7F3C90u);
}

TEST_F(DialogTest, ExportOfEmptyBoxShowsNoDialog) {
  Start();
  dlg->fileAnswer = PathOf("none.mid");
  dlg->Click(IDC_SAVE_MIDI);
  EXPECT_TRUE(dlg->fileDialogs.empty());
  EXPECT_EQ(ReadBytes(PathOf("none.mid")), "<missing>");
}

TEST_F(DialogTest, ExportOfBadTextShowsTheMessageThenExportsTheLoadedScore) {
  Start();
  dlg->SetEditText(QStringLiteral("1,1,1,2"));
  dlg->Click(IDC_LOAD);
  dlg->SetEditText(QStringLiteral("2,1"));
  const QString path = PathOf("previous.mid");
  dlg->fileAnswer = path;
  dlg->Click(IDC_SAVE_MIDI);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_EQ(dlg->boxes[0].text, QStringLiteral("error timeing001!"));
  ASSERT_EQ(dlg->fileDialogs.size(), 1u);
  EXPECT_EQ(ReadBytes(path), kTwoNoteMidi);
}

TEST_F(DialogTest, SaveKeepsTheOldFileWhenTheFolderCannotTakeANewOne) {
  Start();
  // A path that names a folder cannot be replaced by a file: the folder stays.
  const QString path = PathOf("folder.txt");
  ASSERT_TRUE(QDir().mkpath(path));
  dlg->SetEditText(QStringLiteral("1,1"));
  dlg->fileAnswer = path;
  dlg->Click(IDC_SAVE_TEXT);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(QFileInfo(path).isDir());
}

}  // namespace

// 读入文件 also reads songs of other formats: the converted score goes into the box unsaved,
// with one line on what came in; a damaged one leaves the box as it was.
TEST_F(DialogTest, ASongOfAnotherFormatIsConvertedIntoTheBox) {
  Start();
  dlg->SetEditText(QStringLiteral("kept"));
  const QString path = PathOf("tune.abc");
  WriteBytes(path, "X:1\nT:Scale\nM:2/4\nL:1/4\nK:G\nGA|Bc|\nw:do re mi fa\n");
  dlg->fileAnswer = path;
  dlg->Click(IDC_READ_TEXT);
  ASSERT_FALSE(dlg->fileDialogs.empty());
  EXPECT_TRUE(dlg->fileDialogs.back().filter.contains(QStringLiteral("*.abc")));
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_EQ(dlg->boxes[0].icon, QMessageBox::Information);
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("tune.abc")))
      << dlg->boxes[0].text.toStdString();
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("还没有存为文件")));
  const QString box = dlg->ScoreEdit()->toPlainText();
  EXPECT_TRUE(box.contains(QStringLiteral("Scale"))) << box.toStdString();
  EXPECT_TRUE(box.contains(QStringLiteral("do re mi fa"))) << box.toStdString();
  EXPECT_TRUE(box.contains(QStringLiteral("do=G"))) << box.toStdString();

  dlg->boxes.clear();
  WriteBytes(path, std::string("\x00\x01\x02 not a tune", 14));
  dlg->Click(IDC_READ_TEXT);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(dlg->boxes[0].text.startsWith(QStringLiteral("无法读入歌曲“")));
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), box);
}
