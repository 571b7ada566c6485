#pragma once

// The main dialog with its seams replaced: a fake device count and open, recorded message
// boxes, injected file-dialog answers, and (unless realPlatform) a fake player platform
// whose clock the test moves and whose timer the test ticks by hand.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "app/TunwickDlg.h"
#include "midi/MidiOutException.h"
#include "notation/Score.h"
#include "tests/support/TempFolder.h"

struct BoxCall {
  QString text;
  QString caption;
  QMessageBox::Icon icon;
};

struct FileDialogCall {
  bool save;
  QString filter;
  QString suffix;
};

class TestDlg : public CTunwickDlg {
 public:
  // Device seams.
  int deviceCount = 0;
  const char* openError = nullptr;  // Open throws CMIDIOutException with this text
  int opens = 0;

  // Boxes, dialogs.
  std::vector<BoxCall> boxes;
  std::vector<FileDialogCall> fileDialogs;
  QString fileAnswer;  // empty: the user cancels
  bool realAboutBox = false;
  int aboutBoxes = 0;

  // Fake platform.
  bool realPlatform = false;
  int32_t now = 0;
  bool timerSet = false;
  int timerStarts = 0;
  std::vector<int32_t> sleeps;
  std::vector<std::string> cues;
  std::vector<uint32_t> sent;

  void Click(int id) { button(id)->click(); }
  void SetEditText(const QString& text) { scoreEdit()->setPlainText(text); }

  void SetTimer1() override {
    if (realPlatform) return CTunwickDlg::SetTimer1();
    timerSet = true;
    ++timerStarts;
  }
  void KillTimer1() override {
    if (realPlatform) return CTunwickDlg::KillTimer1();
    timerSet = false;
  }
  int32_t ClockMs() override { return realPlatform ? CTunwickDlg::ClockMs() : now; }
  void SleepMs(int32_t ms) override {
    if (realPlatform) return CTunwickDlg::SleepMs(ms);
    sleeps.push_back(ms);
    now += ms;
  }
  void PlayCueSound(const char* name) override {
    if (realPlatform) return CTunwickDlg::PlayCueSound(name);
    cues.emplace_back(name);
  }
  void SendShortMessage(uint32_t message) override {
    if (realPlatform) return CTunwickDlg::SendShortMessage(message);
    sent.push_back(message);
  }

 protected:
  int MidiOutDeviceCount() override { return deviceCount; }
  void OpenMidiDevice() override {
    ++opens;
    if (openError) throw midi::CMIDIOutException(openError);
  }
  void ShowMessageBox(const QString& text, const QString& caption,
                      QMessageBox::Icon icon) override {
    boxes.push_back({text, caption, icon});
  }
  QString GetSaveFileName(const QString& filter, const QString& suffix) override {
    fileDialogs.push_back({true, filter, suffix});
    return fileAnswer;
  }
  QString GetOpenFileName(const QString& filter, const QString& suffix) override {
    fileDialogs.push_back({false, filter, suffix});
    return fileAnswer;
  }
  void RunAboutBox() override {
    ++aboutBoxes;
    if (realAboutBox) CTunwickDlg::RunAboutBox();
  }
};

// A started dialog (device count 1, opened) with the side files in a temporary folder.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder.path().empty());
    dlg = std::make_unique<TestDlg>();
    dlg->sideFiles() = CSideFileWriter(folder.path(), folder.path());
    dlg->deviceCount = 1;
  }
  void TearDown() override { dlg.reset(); }
  void Start() {
    dlg->OnInitDialog();
    dlg->show();
  }
  QString PathOf(const char* name) const { return QString::fromStdString(folder.File(name)); }

  testsupport::TempFolder folder;
  std::unique_ptr<TestDlg> dlg;
};
