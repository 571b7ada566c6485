#pragma once

#include <QDialog>
#include <QIcon>
#include <QMessageBox>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "files/SideFileWriter.h"
#include "history/WallClock.h"
#include "panel/SingBackPanel.h"
#include "playback/Player.h"
#include "playback/PlayerPlatform.h"
#include "playback/SideTextBinding.h"
#include "window/ScoreEdit.h"

class CBoxTextKeeper;
class CCourseRun;
class CFollowAlong;
class CLookAlikeLine;
class CScoreView;
class CSingBackPanel;
class CSingBackSession;
class ListeningEar;
class PitchListener;
class CMIDIOutDevice;
class CWindowPlatform;
class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The file dialogs the dialog asks through.
enum class FileDialogKind { kSave, kOpen };

// The main dialog: the buttons, the help labels and the score edit box. It owns the MIDI
// device, the player and the player's window platform. Each button calls one command, which
// forwards to the player, the sing-back session or the file commands (TunwickDlgFiles.cpp).
class CTunwickDlg : public QDialog {
  Q_OBJECT

 public:
  // `platform` replaces the window platform (tests); the dialog does not own it.
  explicit CTunwickDlg(QWidget* parent = nullptr, PlayerPlatform* platform = nullptr);
  ~CTunwickDlg() override;

  // The folder the next file dialog opens in: the songbook at first, then the folder of the
  // last file chosen.
  const QString& FileDialogFolder() const { return fileDialogFolder_; }

  // Start-up (loads the built-in score; the MIDI device opens behind the shown window), then
  // the modal run.
  int DoModal();
  // Start-up: the MIDI device opens at once, or with deviceBehindWindow once the dialog has
  // first been painted (a press made meanwhile is handled when it is open).
  bool OnInitDialog(bool deviceBehindWindow = false);

  // Moves scoreText between the member and the edit box: true from the box into the
  // member, false the other way. Line breaks keep their bytes; typed ones are CR LF.
  void UpdateData(bool saveAndValidate);

  // Button commands.
  void OnPractice();
  void OnContinue();
  void OnPause();
  void OnTeaching();
  void OnPlayAll();
  void OnRepeat();
  // Sing-back: opens the default input the first time, shows the panel and starts the mode.
  void OnSingBack();
  // 学唱整首 in the panel: today's course of the loaded song, through sing-back.
  void OnLearnSong();
  void OnLoad();
  void OnRestoreBuiltIn();
  void OnSaveText();
  void OnReadText();
  void OnClear();
  void OnSaveMidi();
  // Opens the score view beside the dialog, or closes it (Ctrl+J, or the context menu); the
  // choice is remembered for the next start.
  void OnToggleScoreView();
  // Window-menu commands: 0x10 (low four bits ignored) opens the About box.
  void OnSysCommand(unsigned id);

  // A message of the player's in a box with the application's title, no icon; under a parse
  // error's message, a line saying what is wrong and how it is written.
  void ShowMessage(const char* text);

  // The edit box's text as the dialog's data transfer last moved it.
  std::string scoreText;

  CPlayer& Player() { return player_; }
  // Where the side files of the dialog's parses go.
  CSideFileWriter& SideFiles() { return sideFiles_; }
  CMIDIOutDevice& Device() { return *device_; }
  QPushButton* Button(int id) const;
  QPlainTextEdit* ScoreEdit() const { return edit_; }
  const CFollowAlong& FollowAlong() const { return *followAlong_; }
  CSingBackPanel& SingBackPanel() const { return *singBackPanel_; }
  CCourseRun& CourseRun() const { return *courseRun_; }
  CScoreView& ScoreView() const { return *scoreView_; }
  // The box's look-alike characters, beside the file buttons.
  CLookAlikeLine& LookAlikeLine() const { return *lookAlikeLine_; }
  QAction* ScoreViewAction() const { return scoreViewAction_; }
  // The ear sing-back listens through, or null while the microphone is let go.
  ListeningEar* Ear() const;
  // The window platform, or null when a test replaced it.
  CWindowPlatform* WindowPlatform() const { return windowPlatform_.get(); }

 protected:
  // Seams for the tests; the defaults reach the real device, boxes and dialogs.
  virtual int MidiOutDeviceCount();
  virtual void OpenMidiDevice();
  // `hint`, when given, is a line of its own under the text (the box's informative text).
  virtual void ShowMessageBox(const QString& text, const QString& caption, QMessageBox::Icon icon,
                              const QString& hint = QString());
  // The file chosen in a save or open dialog, or an empty string when the user cancels.
  virtual QString GetFileName(FileDialogKind kind, const QString& filter,
                              const QString& defaultSuffix);
  virtual void RunAboutBox();
  // The ear over the default input, hearing the player's score. Throws
  // capture::AudioCaptureError when there is no input to listen to.
  virtual std::unique_ptr<ListeningEar> CreateEar();
  // The range exercise's ear over the default input. Throws capture::AudioCaptureError when
  // there is no input to listen to.
  virtual std::unique_ptr<PitchListener> CreateRangeListener();
  // The practice history's file and clock: the per-user one on the system's clock.
  virtual std::string PracticeHistoryPath();
  virtual history::WallTime WallNow();

  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  // Opens the MIDI device at start-up, or says why there is none.
  void OpenDeviceAtStart();
  void ShowScoreView(bool open);
  // The sing-back panel beside the dialog, placed clear of it the first time it opens.
  void ShowSingBackPanel();
  void ShowFileError(const QString& format, const QString& path, const std::string& reason);
  void ImportIntoBox(const QString& path);
  // Loads the box's text into the player (as the load and export commands do) and, when it
  // took, follows it along in the box.
  void LoadBoxText();
  // The file dialog's seam, with the folder remembered after a file is chosen.
  QString AskFileName(FileDialogKind kind, const QString& filter, const QString& defaultSuffix);

  QIcon appIcon_;
  std::unique_ptr<CMIDIOutDevice> device_;
  std::unique_ptr<CWindowPlatform> windowPlatform_;
  CPlayer player_;
  QString fileDialogFolder_;
  CSideFileWriter sideFiles_;
  CSideTextBinding sideFileBinding_{player_, sideFiles_};
  std::map<int, QPushButton*> buttons_;
  CScoreEdit* edit_ = nullptr;
  CLookAlikeLine* lookAlikeLine_ = nullptr;
  std::unique_ptr<CFollowAlong> followAlong_;
  // Keeps the box's text for the next start.
  std::unique_ptr<CBoxTextKeeper> boxKeeper_;
  // Messages shown so far: a load that refuses without one found no phrase.
  int messagesShown_ = 0;
  // Goes after the panel it feeds, and with it the ear the panel polls.
  std::unique_ptr<CSingBackSession> singBack_;
  // A window of its own beside the dialog; it goes before the ear it polls.
  std::unique_ptr<CSingBackPanel> singBackPanel_;
  // The score in numbered notation, in a window of its own beside the dialog.
  std::unique_ptr<CScoreView> scoreView_;
  QAction* scoreViewAction_ = nullptr;
  // The text and file the read command put in the box last: a score loaded from that text
  // is a try of that file's in the practice history.
  std::string readText_;
  std::string readFile_;
  // Goes first: it watches the player and drives the session and the panel.
  std::unique_ptr<CCourseRun> courseRun_;
};
