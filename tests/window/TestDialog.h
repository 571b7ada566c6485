#pragma once

// The main dialog with its seams replaced: a fake device count and open, recorded message
// boxes, injected file-dialog answers, and (unless kRealPlatform) the player tests' fake
// platform, whose clock the test moves and whose timer the test ticks by hand.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capture/AudioCapture.h"
#include "midi/MidiOutException.h"
#include "notation/Score.h"
#include "singback/ListeningEar.h"
#include "singback/PitchListener.h"
#include "tests/playback/FakePlatform.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempFolder.h"
#include "window/TunwickDlg.h"
#include "window/WindowPlatform.h"

struct BoxCall {
  BoxCall(QString text, QString caption, QMessageBox::Icon icon, QString hint = QString())
      : text(std::move(text)), caption(std::move(caption)), icon(icon), hint(std::move(hint)) {}
  QString text;
  QString caption;
  QMessageBox::Icon icon;
  QString hint;  // the line under the text
};

struct FileDialogCall {
  bool save;
  QString filter;
  QString suffix;
};

// The fake platform is a base of its own so that it exists before the dialog's player.
struct FakePlatformHolder {
  FakePlatform fake;
};

class TestDlg : private FakePlatformHolder, public CTunwickDlg {
 public:
  enum PlatformChoice { kFakePlatform, kRealPlatform };

  explicit TestDlg(PlatformChoice choice = kFakePlatform)
      : CTunwickDlg(nullptr, choice == kFakePlatform ? &fake : nullptr) {
    if (choice == kFakePlatform) {
      Player().AddObserver(&fake);
      // The player's messages reach the dialog's message box, as with the window platform.
      fake.onMessage = [this](const char* text) { ShowMessage(text); };
      fake.nowMs = 0;
    }
  }

  using FakePlatformHolder::fake;

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

  // The ear sing-back gets; unset, there is no audio input, as on a machine without one.
  std::function<std::unique_ptr<ListeningEar>()> makeEar;
  // The range exercise's ear, likewise.
  std::function<std::unique_ptr<PitchListener>()> makeRangeListener;
  int earsMade = 0;

  void Click(int id) { Button(id)->click(); }
  void SetEditText(const QString& text) { ScoreEdit()->setPlainText(text); }
  // One timer period on the fake clock, then timer 1 fires if it is set.
  void Tick() {
    fake.nowMs += kTimerPeriodMs;
    if (fake.timerSet) Player().OnTimer(1);
  }

 protected:
  int MidiOutDeviceCount() override { return deviceCount; }
  void OpenMidiDevice() override {
    ++opens;
    if (openError) throw midi::CMIDIOutException(openError);
  }
  void ShowMessageBox(const QString& text, const QString& caption, QMessageBox::Icon icon,
                      const QString& hint) override {
    boxes.push_back({text, caption, icon, hint});
  }
  QString GetFileName(FileDialogKind kind, const QString& filter, const QString& suffix) override {
    fileDialogs.push_back({kind == FileDialogKind::kSave, filter, suffix});
    return fileAnswer;
  }
  std::unique_ptr<ListeningEar> CreateEar() override {
    ++earsMade;
    if (!makeEar)
      throw capture::AudioCaptureError(std::string(capture::kNoInputDeviceMessage) +
                                       " (PulseAudio: no source; ALSA: no capture device).");
    return makeEar();
  }
  std::unique_ptr<PitchListener> CreateRangeListener() override {
    if (!makeRangeListener) throw capture::AudioCaptureError(capture::kNoInputDeviceMessage);
    return makeRangeListener();
  }
  void RunAboutBox() override {
    ++aboutBoxes;
    if (realAboutBox) CTunwickDlg::RunAboutBox();
  }

 public:
  // The practice history: a file in a folder of the test's, on a clock the test sets.
  testsupport::TempFolder historyFolder;
  history::WallTime wallNow{1714560000000, 0};  // 2024-05-01 10:40 UTC
  std::string historyPath() const { return historyFolder.File("history.sqlite"); }

 protected:
  std::string PracticeHistoryPath() override { return historyPath(); }
  history::WallTime WallNow() override { return wallNow; }
};

// A started dialog (device count 1, opened) with the side files and the per-user data in a
// temporary folder.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder.path().empty());
    dlg = std::make_unique<TestDlg>();
    dlg->SideFiles() = CSideFileWriter(folder.path(), folder.path());
    dlg->deviceCount = 1;
  }
  void TearDown() override { dlg.reset(); }
  void Start() {
    dlg->OnInitDialog();
    dlg->show();
  }
  QString PathOf(const char* name) const { return QString::fromStdString(folder.File(name)); }

  testsupport::TempFolder folder;
  // The per-user data folder (the box's kept text) is the test's own.
  testsupport::EnvOverride dataHome{"XDG_DATA_HOME", folder.File("data")};
  std::unique_ptr<TestDlg> dlg;
};
