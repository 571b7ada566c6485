#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <cstring>

#include "files/ScoreTextFile.h"
#include "midi/MidiFileWriter.h"
#include "window/DialogLayout.h"
#include "window/ScoreView.h"
#include "window/TunwickDlg.h"

// The dialog's file commands: score text read and saved, the MIDI file export, and the file
// dialogs they ask through.

namespace {

const char kTextFileFilter[] = "文本文件(*.txt)";
const char kMidiFileFilter[] = "mid文件(*.mid)";

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
  const QString path =
      AskFileName(FileDialogKind::kOpen, QString::fromUtf8(kTextFileFilter), QStringLiteral("txt"));
  if (path.isEmpty()) return;
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
