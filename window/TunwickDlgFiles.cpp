#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <cstring>

#include "files/ScoreTextFile.h"
#include "importers/ImporterTable.h"
#include "midi/MidiFileWriter.h"
#include "window/DialogLayout.h"
#include "window/ScoreView.h"
#include "window/TunwickDlg.h"

// The dialog's file commands: score text read and saved, the MIDI file export, and the file
// dialogs they ask through.

namespace {

const char kTextFileFilter[] = "文本文件(*.txt)";
const char kMidiFileFilter[] = "mid文件(*.mid)";

// What 读入文件 opens: score texts and every format a song can be imported from, together
// first, then each kind alone.
QString ReadFileFilter() {
  QString patterns;
  for (const importers::ImportFormat& format : importers::ImportFormats())
    for (const std::string& suffix : format.suffixes)
      patterns += QStringLiteral(" *") + QString::fromStdString(suffix);
  QString filter =
      QStringLiteral("乐谱和歌曲(*.txt%1);;").arg(patterns) + QString::fromUtf8(kTextFileFilter);
  for (const importers::ImportFormat& format : importers::ImportFormats()) {
    QString own;
    for (const std::string& suffix : format.suffixes)
      own += (own.isEmpty() ? QStringLiteral("*") : QStringLiteral(" *")) +
             QString::fromStdString(suffix);
    filter += QStringLiteral(";;%1(%2)").arg(QString::fromUtf8(format.name), own);
  }
  return filter;
}

// A line break of imported text as the box keeps a typed one.
std::string WithBoxLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

void CTunwickDlg::ShowFileError(const QString& format, const QString& path,
                                const std::string& reason) {
  ShowMessageBox(format.arg(path, QString::fromLocal8Bit(reason.c_str())),
                 QString::fromUtf8(kApplicationTitle), QMessageBox::Warning);
}

void CTunwickDlg::OnSaveText() {
  UpdateData(true);
  const QString path =
      AskFileName(FileDialogKind::kSave, QString::fromUtf8(kTextFileFilter), QStringLiteral("txt"));
  if (path.isEmpty()) return;
  const FileWriteResult result =
      WriteScoreTextFile(QFile::encodeName(path).toStdString(), scoreText);
  if (!result.ok)
    ShowFileError(QStringLiteral("无法保存文件“%1”：%2。原有的文件没有改动。"), path,
                  result.systemError);
}

void CTunwickDlg::OnReadText() {
  const QString path = AskFileName(FileDialogKind::kOpen, ReadFileFilter(), QStringLiteral("txt"));
  if (path.isEmpty()) return;
  if (importers::FormatOfPath(QFile::encodeName(path).toStdString()) != nullptr) {
    ImportIntoBox(path);
    return;
  }
  const ScoreTextReadResult result = ReadScoreTextFile(QFile::encodeName(path).toStdString());
  switch (result.status) {
    case ScoreTextReadResult::kCannotOpen:
      ShowFileError(QStringLiteral("无法打开文件“%1”：%2"), path, result.systemError);
      return;
    case ScoreTextReadResult::kReadError:
      ShowFileError(QStringLiteral("读文件“%1”时出错：%2"), path, result.systemError);
      return;
    case ScoreTextReadResult::kNotText:
      // The box keeps what it holds.
      ShowMessageBox(QStringLiteral("文件“%1”不是文本文件：乐谱是 UTF-8 或 GBK 文本。"
                                    "文件没有读入。")
                         .arg(path),
                     QString::fromUtf8(kApplicationTitle), QMessageBox::Warning);
      return;
    case ScoreTextReadResult::kTooLong:
      ShowMessageBox(
          result.fromGbk
              ? QStringLiteral("文件“%1”太大：其 GBK 文本 %2 字节，转换为 UTF-8 后 %3 字节，"
                               "乐谱文本最多 %4 字节。文件没有读入。")
                    .arg(path)
                    .arg(result.gbkLength)
                    .arg(result.length)
                    .arg(kMaxScoreTextBytes)
              : QStringLiteral("文件“%1”太大：乐谱文本最多 %2 字节。文件没有读入。")
                    .arg(path)
                    .arg(kMaxScoreTextBytes),
          QString::fromUtf8(kApplicationTitle), QMessageBox::Warning);
      return;
    case ScoreTextReadResult::kOk:
      break;
  }
  char* const textBuffer = player_.TextBuffer();
  std::memcpy(textBuffer, result.text.data(), result.text.size());
  textBuffer[result.text.size()] = '\0';
  scoreText = textBuffer;
  UpdateData(false);
  readText_ = scoreText;
  readFile_ = QFileInfo(path).absoluteFilePath().toStdString();
  scoreView_->SetFileName(readFile_);
}

// A song of another format, converted, into the box: not yet saved, so tied to no file. One
// line says what came in and what was left out; a file that cannot be read leaves the box.
void CTunwickDlg::ImportIntoBox(const QString& path) {
  importers::WrittenScore written;
  try {
    written = importers::ImportFile(QFile::encodeName(path).toStdString(), {});
  } catch (const importers::ImportError& error) {
    ShowFileError(QStringLiteral("无法读入歌曲“%1”：%2。方框里的乐谱没有改动。"), path,
                  error.what());
    return;
  }
  const std::string text = WithBoxLineBreaks(written.text);
  if (text.size() >= static_cast<size_t>(kTextBufferSize)) {
    ShowMessage(kTextTooLongMessage);
    return;
  }
  char* const textBuffer = player_.TextBuffer();
  std::memcpy(textBuffer, text.data(), text.size());
  textBuffer[text.size()] = '\0';
  scoreText = textBuffer;
  UpdateData(false);
  readText_.clear();
  readFile_.clear();
  scoreView_->SetFileName(QFileInfo(path).absoluteFilePath().toStdString());
  QString summary = QStringLiteral("从“%1”读入了 %2 个乐句、%3 个声部，还没有存为文件。")
                        .arg(QFileInfo(path).fileName())
                        .arg(written.phrases)
                        .arg(written.voices);
  if (!written.losses.empty())
    summary += QStringLiteral("略去或改动了 %1 处，第一处在第 %2 小节：%3。")
                   .arg(written.losses.size())
                   .arg(written.losses.front().bar)
                   .arg(QString::fromStdString(written.losses.front().what));
  ShowMessageBox(summary, QString::fromUtf8(kApplicationTitle), QMessageBox::Information, {});
}

// ---- MIDI file export ----

void CTunwickDlg::OnSaveMidi() {
  UpdateData(true);
  const size_t length = std::strlen(scoreText.c_str());
  if (length >= static_cast<size_t>(kTextBufferSize)) {
    ShowMessage(kTextTooLongMessage);
    return;
  }
  if (scoreText.empty()) return;
  {
    CPlayer::CBuildOnlyScope quietly(player_);
    LoadBoxText();
  }

  const QString path =
      AskFileName(FileDialogKind::kSave, QString::fromUtf8(kMidiFileFilter), QStringLiteral("mid"));
  if (path.isEmpty()) return;
  try {
    midi::WriteMidiFile(QFile::encodeName(path).toStdString(),
                        midi::MidiFileBytes(player_.Timeline()));
  } catch (const std::exception& error) {
    ShowFileError(QStringLiteral("无法保存 MIDI 文件“%1”：%2"), path, error.what());
  }
}

// ---- File dialogs ----

QString CTunwickDlg::AskFileName(FileDialogKind kind, const QString& filter,
                                 const QString& defaultSuffix) {
  const QString path = GetFileName(kind, filter, defaultSuffix);
  // The next dialog opens where this file was chosen.
  if (!path.isEmpty()) fileDialogFolder_ = QFileInfo(path).absolutePath();
  return path;
}

QString CTunwickDlg::GetFileName(FileDialogKind kind, const QString& filter,
                                 const QString& defaultSuffix) {
  QFileDialog dialog(this);
  if (!fileDialogFolder_.isEmpty()) dialog.setDirectory(fileDialogFolder_);
  const bool save = kind == FileDialogKind::kSave;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}
