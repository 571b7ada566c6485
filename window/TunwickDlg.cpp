#include "window/TunwickDlg.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "capture/AudioCapture.h"
#include "files/ProgramFolder.h"
#include "history/ScoreIdentity.h"
#include "midi/MidiOutDevice.h"
#include "notation/ParseErrorHints.h"
#include "panel/CoursePane.h"
#include "panel/SingBackPanel.h"
#include "singback/CaptureEar.h"
#include "singback/RangeListener.h"
#include "window/AboutDlg.h"
#include "window/AppIcon.h"
#include "window/CourseRun.h"
#include "window/DialogLayout.h"
#include "window/FirstPaint.h"
#include "window/FollowAlong.h"
#include "window/LookAlikeLine.h"
#include "window/ScoreView.h"
#include "window/SingBackSession.h"
#include "window/UserSettings.h"
#include "window/WindowPlacement.h"
#include "window/WindowPlatform.h"

namespace {

const char kNoDevicesText[] = "No MIDI output devices available.";
const char kScoreViewOpenKey[] = "scoreView/open";
const char kNoPhraseMessage[] = "乐谱里没有乐句。乐谱没有装入。";
constexpr unsigned kScClose = 0xF060;

std::unique_ptr<CWindowPlatform> WindowPlatformUnless(PlayerPlatform* replacement,
                                                      CMIDIOutDevice& device, CTunwickDlg& dialog) {
  if (replacement != nullptr) return nullptr;
  return std::make_unique<CWindowPlatform>(
      device, [&dialog](const char* text) { dialog.ShowMessage(text); });
}

// The songbook: the "examples" folder in the first installed data folder that has one; empty
// (the current folder) when none does.
QString SongbookFolder() {
  const std::string found = FindData("examples", DataFolders(), DataKind::kFolder);
  return found.empty()
             ? QString()
             : QDir::cleanPath(QFileInfo(QString::fromStdString(found)).absoluteFilePath());
}

}  // namespace

CTunwickDlg::CTunwickDlg(QWidget* parent, PlayerPlatform* platform)
    : QDialog(parent),
      device_(std::make_unique<CMIDIOutDevice>()),
      windowPlatform_(WindowPlatformUnless(platform, *device_, *this)),
      player_(platform != nullptr ? *platform : *windowPlatform_),
      fileDialogFolder_(SongbookFolder()) {
  setWindowTitle(QString::fromUtf8(kMainDialogTitle));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  CreateControls();

  if (windowPlatform_) windowPlatform_->SetTickHandler([this] { player_.OnTimer(1); });
  followAlong_ = std::make_unique<CFollowAlong>(*edit_, *this, player_);
  player_.AddObserver(followAlong_.get());
  boxKeeper_ = std::make_unique<CBoxTextKeeper>(*edit_);
  singBackPanel_ = std::make_unique<CSingBackPanel>(player_, this);
  player_.AddObserver(singBackPanel_.get());
  scoreView_ = std::make_unique<CScoreView>(*edit_, *followAlong_, player_, this);
  scoreView_->SetOnClosed([this] { ShowScoreView(false); });
  scoreViewAction_ = new QAction(QStringLiteral("简谱(&J)"), this);
  scoreViewAction_->setCheckable(true);
  scoreViewAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
  connect(scoreViewAction_, &QAction::triggered, this, [this] { OnToggleScoreView(); });
  // The shortcut works in the dialog and in the view alike.
  addAction(scoreViewAction_);
  scoreView_->addAction(scoreViewAction_);
  // The seams are called only after construction, so they reach a test's replacements.
  CSingBackSession::Seams seams;
  seams.createEar = [this] { return CreateEar(); };
  seams.createRangeListener = [this] { return CreateRangeListener(); };
  seams.historyPath = [this] { return PracticeHistoryPath(); };
  seams.wallNow = [this] { return WallNow(); };
  seams.warn = [this](const QString& text) {
    ShowMessageBox(text, QString::fromUtf8(kApplicationTitle), QMessageBox::Warning);
  };
  singBack_ = std::make_unique<CSingBackSession>(player_, *singBackPanel_, *this, std::move(seams));
  singBack_->SetScore(kBuiltInScore, std::string());
  courseRun_ = std::make_unique<CCourseRun>(player_, *singBack_, *singBackPanel_, *this);
  connect(&singBackPanel_->Course(), &CCoursePane::LearnSongPressed, this,
          &CTunwickDlg::OnLearnSong);

  appIcon_ = TunwickIcon();
}

CTunwickDlg::~CTunwickDlg() {
  // The MIDI port and its worker go first, before any of the state they might touch.
  device_->Close();
  if (windowPlatform_) windowPlatform_->KillTimer1();
  player_.RemoveObserver(followAlong_.get());
  player_.RemoveObserver(singBackPanel_.get());
  // The panel goes before the session and its ear (members in reverse order); the session
  // makes the player let go of the ear first.
}

ListeningEar* CTunwickDlg::Ear() const { return singBack_ ? singBack_->Ear() : nullptr; }

void CTunwickDlg::CreateControls() {
  const DialogBaseUnits units = BaseUnitsOf(font());
  setFixedSize(MapDialogRect(QRect(0, 0, kMainDialogWidthDu, kMainDialogHeightDu), units).size());

  QWidget* previous = nullptr;
  int index = 0;
  for (const ControlTemplate& control : kMainDialogControls) {
    const QRect geometry =
        MapDialogRect(QRect(control.x, control.y, control.width, control.height), units);
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::kButton:
      case ControlKind::kDefaultButton: {
        // No default button: Enter presses the button that has the focus (keyPressEvent).
        auto* button = new QPushButton(QString::fromUtf8(control.text), this);
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setToolTip(QString::fromUtf8(ControlToolTip(control.id)));
        buttons_[control.id] = button;
        widget = button;
        break;
      }
      case ControlKind::kEdit:
        edit_ = new CScoreEdit(this);
        edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit_->setTabChangesFocus(true);
        widget = edit_;
        break;
      case ControlKind::kLabel:
      case ControlKind::kIcon: {
        auto* label = new QLabel(StaticDisplayText(control.text), this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
      }
    }
    widget->setGeometry(geometry);
    // Named by id, or by template position for the labels, which have no id.
    widget->setObjectName(control.id > 0 ? QStringLiteral("control%1").arg(control.id)
                                         : QStringLiteral("static%1").arg(index));
    ++index;
    if (widget->focusPolicy() != Qt::NoFocus) {
      if (previous) setTabOrder(previous, widget);
      previous = widget;
    }
  }

  lookAlikeLine_ = new CLookAlikeLine(*edit_, this);
  lookAlikeLine_->setGeometry(MapDialogRect(
      QRect(kLookAlikeLine.x, kLookAlikeLine.y, kLookAlikeLine.width, kLookAlikeLine.height),
      units));

  const std::pair<int, void (CTunwickDlg::*)()> routes[] = {
      {IDC_PRACTICE, &CTunwickDlg::OnPractice},  {IDC_CONTINUE, &CTunwickDlg::OnContinue},
      {IDC_PAUSE, &CTunwickDlg::OnPause},        {IDC_TEACHING, &CTunwickDlg::OnTeaching},
      {IDC_PLAY_ALL, &CTunwickDlg::OnPlayAll},   {IDC_LOAD, &CTunwickDlg::OnLoad},
      {IDC_SAVE_TEXT, &CTunwickDlg::OnSaveText}, {IDC_READ_TEXT, &CTunwickDlg::OnReadText},
      {IDC_CLEAR, &CTunwickDlg::OnClear},        {IDC_RESTORE, &CTunwickDlg::OnRestoreBuiltIn},
      {IDC_REPEAT, &CTunwickDlg::OnRepeat},      {IDC_SAVE_MIDI, &CTunwickDlg::OnSaveMidi},
      {IDC_SING_BACK, &CTunwickDlg::OnSingBack},
  };
  for (const auto& [id, handler] : routes) {
    connect(buttons_.at(id), &QPushButton::clicked, this, handler);
    // A paused caption gives way at once when a button sets playback going again.
    connect(buttons_.at(id), &QPushButton::clicked, this,
            [this] { followAlong_->ResumeCaption(); });
  }
}

QPushButton* CTunwickDlg::Button(int id) const {
  const auto found = buttons_.find(id);
  return found == buttons_.end() ? nullptr : found->second;
}

int CTunwickDlg::DoModal() {
  OnInitDialog(true);
  return exec();
}

bool CTunwickDlg::OnInitDialog(bool deviceBehindWindow) {
  // The box as it was left; the built-in score stays the loaded one.
  scoreText = boxKeeper_->Restore(KeptBoxTextPath());
  UpdateData(false);
  setWindowIcon(appIcon_);

  // Opening the sound stream and loading the soundfont take a while: the window shows first.
  if (deviceBehindWindow)
    RunAfterFirstPaint(this, [this] { OpenDeviceAtStart(); });
  else
    OpenDeviceAtStart();

  player_.LoadBuiltInAtStartup();
  scoreView_->ShowBuiltIn();

  // The first control in tab order takes the focus.
  Button(IDC_PRACTICE)->setFocus(Qt::OtherFocusReason);
  // The score view as it was left, once the dialog stands where it goes.
  if (OpenUserSettings()->value(QLatin1String(kScoreViewOpenKey), false).toBool())
    QTimer::singleShot(0, this, [this] { ShowScoreView(true); });
  return true;
}

void CTunwickDlg::OpenDeviceAtStart() {
  try {
    if (MidiOutDeviceCount() > 0)
      OpenMidiDevice();
    else
      ShowMessageBox(QString::fromLatin1(kNoDevicesText), QStringLiteral("Warning"),
                     QMessageBox::Warning);
  } catch (const std::exception& error) {
    ShowMessageBox(QString::fromLocal8Bit(error.what()), QStringLiteral("Error"),
                   QMessageBox::Critical);
  }
}

void CTunwickDlg::UpdateData(bool saveAndValidate) {
  if (saveAndValidate)
    scoreText = edit_->ScoreText();
  else
    edit_->SetScoreText(scoreText);
}

// ---- Play commands: one hop to the player or the sing-back session ----

void CTunwickDlg::OnPractice() { player_.OnPractice(); }
void CTunwickDlg::OnContinue() {
  if (singBack_->ReadyToContinue()) player_.OnContinue();
}
void CTunwickDlg::OnPause() {
  followAlong_->MarkPaused();
  player_.OnPause();
}
void CTunwickDlg::OnTeaching() { player_.OnTeaching(); }
void CTunwickDlg::OnPlayAll() { player_.OnPlayAll(); }
void CTunwickDlg::OnRepeat() { player_.OnRepeat(); }

void CTunwickDlg::OnSingBack() {
  courseRun_->Stop();
  if (!singBack_->OpenEar()) return;
  ShowSingBackPanel();
  singBack_->Start();
}

void CTunwickDlg::OnLearnSong() {
  ShowSingBackPanel();
  courseRun_->Start();
}

void CTunwickDlg::ShowSingBackPanel() {
  if (!singBackPanel_->isVisible()) {
    // Beside the dialog, clear of it and of the score view, on the screen's free side.
    std::vector<QRect> open;
    if (scoreView_->isVisible()) open.push_back(scoreView_->frameGeometry());
    singBackPanel_->move(PlaceApart(frameGeometry(), open, singBackPanel_->frameGeometry().size(),
                                    screen()->availableGeometry()));
    singBackPanel_->show();
  }
}

void CTunwickDlg::OnRestoreBuiltIn() {
  const int32_t loads = player_.LoadCount();
  player_.OnRestoreBuiltIn();
  if (player_.LoadCount() != loads) {
    followAlong_->ClearSource();
    scoreView_->ShowBuiltIn();
    singBack_->SetScore(kBuiltInScore, std::string());
    followAlong_->SetSong(singBack_->LoadedSong());
  }
}

void CTunwickDlg::OnLoad() {
  UpdateData(true);
  const int32_t loads = player_.LoadCount();
  const int shown = messagesShown_;
  LoadBoxText();
  // Refused without a word: the box is empty, or holds no phrase (comments, spaces).
  if (player_.LoadCount() == loads && messagesShown_ == shown) ShowMessage(kNoPhraseMessage);
}

void CTunwickDlg::OnClear() {
  scoreText.clear();
  UpdateData(false);
}

void CTunwickDlg::LoadBoxText() {
  const QString boxText = edit_->toPlainText();
  const int32_t loads = player_.LoadCount();
  player_.OnLoad(scoreText);
  if (player_.LoadCount() != loads) {
    followAlong_->SetSource(boxText, player_.TextBuffer());
    scoreView_->ShowBox();
    // From the file read last, unless the box has been edited since (line ends aside).
    singBack_->SetScore(scoreText, !readFile_.empty() && history::ScoreHash(readText_) ==
                                                             history::ScoreHash(scoreText)
                                       ? readFile_
                                       : std::string());
    followAlong_->SetSong(singBack_->LoadedSong());
    return;
  }
  // Refused: the message box has said why; the box now shows where.
  const CPlayer::ParseFault& fault = player_.LastParseFault();
  followAlong_->ShowFault(boxText, player_.TextBuffer(), fault.phraseOffset, fault.phraseLength,
                          fault.numberOffset, fault.numberLength);
}

// ---- Score view ----

void CTunwickDlg::OnToggleScoreView() { ShowScoreView(!scoreView_->isVisible()); }

void CTunwickDlg::ShowScoreView(bool open) {
  if (open && !scoreView_->isVisible()) {
    // Beside the dialog, clear of it and of the sing-back panel, on the screen's free side.
    std::vector<QRect> open;
    if (singBackPanel_->isVisible()) open.push_back(singBackPanel_->frameGeometry());
    scoreView_->resize(scoreView_->width(), std::max(scoreView_->height(), height()));
    scoreView_->move(PlaceApart(frameGeometry(), open, scoreView_->frameGeometry().size(),
                                screen()->availableGeometry()));
    scoreView_->show();
  } else if (!open) {
    scoreView_->hide();
  }
  scoreViewAction_->setChecked(open);
  OpenUserSettings()->setValue(QLatin1String(kScoreViewOpenKey), open);
}

// ---- Window menu and About box ----

void CTunwickDlg::OnSysCommand(unsigned id) {
  if ((id & 0xFFF0) == kIdmAboutBox) {
    RunAboutBox();
    return;
  }
  // Default handling: of the window commands only closing applies to this fixed dialog.
  if ((id & 0xFFF0) == kScClose) reject();
}

void CTunwickDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
        focused && focused->isEnabled()) {
      focused->click();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

void CTunwickDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = nullptr;
  if (kAboutMenuText[0] != '\0') {
    menu.addSeparator();
    about = menu.addAction(QString::fromUtf8(kAboutMenuText));
  }
  menu.addAction(scoreViewAction_);
  QAction* close = menu.addAction(QStringLiteral("关闭(&C)"));
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen && chosen == about) OnSysCommand(kIdmAboutBox);
  if (chosen && chosen == close) OnSysCommand(kScClose);
}

void CTunwickDlg::RunAboutBox() {
  CAboutDlg about(this);
  about.exec();
}

// ---- Seams ----

std::string CTunwickDlg::PracticeHistoryPath() { return history::DefaultHistoryPath(); }

history::WallTime CTunwickDlg::WallNow() { return history::SystemWallClock()(); }

std::unique_ptr<ListeningEar> CTunwickDlg::CreateEar() {
  return CCaptureEar::Listen(player_, std::make_unique<CDefaultInput>());
}

std::unique_ptr<PitchListener> CTunwickDlg::CreateRangeListener() {
  return CRangeListener::Listen(std::make_unique<CDefaultInput>());
}

int CTunwickDlg::MidiOutDeviceCount() { return midi::MidiOutDeviceCount(); }

void CTunwickDlg::OpenMidiDevice() { device_->Open(); }

void CTunwickDlg::ShowMessageBox(const QString& text, const QString& caption,
                                 QMessageBox::Icon icon, const QString& hint) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, this);
  box.setInformativeText(hint);
  box.exec();
}
// ---- The player's messages ----

void CTunwickDlg::ShowMessage(const char* text) {
  ++messagesShown_;
  // The message itself stays as it is; the hint is a line of its own under it.
  ShowMessageBox(QString::fromLocal8Bit(text), QString::fromUtf8(kApplicationTitle),
                 QMessageBox::NoIcon, QString::fromUtf8(ParseErrorHint(text)));
}
