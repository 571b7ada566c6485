#include "window/TunwickDlg.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <functional>

#include "capture/AudioCapture.h"
#include "files/ProgramFolder.h"
#include "files/ScoreTextFile.h"
#include "history/PracticeTime.h"
#include "history/ScoreIdentity.h"
#include "listening/VoiceRangeText.h"
#include "midi/MidiFileWriter.h"
#include "midi/MidiOutDevice.h"
#include "singback/CaptureEar.h"
#include "singback/RangeListener.h"
#include "window/AboutDlg.h"
#include "window/AppIcon.h"
#include "window/DialogLayout.h"
#include "window/FollowAlong.h"
#include "window/RangeStrip.h"
#include "window/ScoreView.h"
#include "window/SingBackPanel.h"
#include "window/UserSettings.h"
#include "window/WindowPlatform.h"

namespace {

const char kNoDevicesText[] = "No MIDI output devices available.";
const char kTextFileFilter[] = "文本文件(*.txt)";
const char kMidiFileFilter[] = "mid文件(*.mid)";
const char kScoreViewOpenKey[] = "scoreView/open";
const char kRangeSetting[] = "voice/range";
constexpr unsigned kScClose = 0xF060;

}  // namespace

namespace {

std::unique_ptr<CWindowPlatform> WindowPlatformUnless(PlayerPlatform* replacement,
                                                      CMIDIOutDevice& device, CTunwickDlg& dialog) {
  if (replacement != nullptr) return nullptr;
  return std::make_unique<CWindowPlatform>(
      device, [&dialog](const char* text) { dialog.ShowMessage(text); });
}

// Calls back when playback stops: a pause, the end of the exercise, another mode.
class CStopWatcher : public PlayerObserver {
 public:
  explicit CStopWatcher(std::function<void()> onStop) : onStop_(std::move(onStop)) {}
  void OnPlayerNotification(const PlayerNotification& n) override {
    if (n.kind == PlayerNotification::kStopped) onStop_();
  }

 private:
  std::function<void()> onStop_;
};

// The songbook: beside the program (a build, or an unpacked copy), else where the package
// installs it; empty (the current folder) when neither exists.
QString SongbookFolder() {
  for (const QString& folder :
       {QString::fromStdString(ProgramFolder()) + QStringLiteral("examples"),
        QStringLiteral(TUNWICK_EXAMPLES_DIR)}) {
    const QFileInfo info(folder);
    if (info.isDir()) return info.absoluteFilePath();
  }
  return {};
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
  singBackPanel_ = std::make_unique<CSingBackPanel>(player_, this);
  player_.AddObserver(singBackPanel_.get());
  singBackPanel_->SetHistorySource([this](int32_t row) { return PhraseHistory(row); });
  scoreView_ = std::make_unique<CScoreView>(*edit_, *followAlong_, player_, this);
  scoreView_->SetOnClosed([this] { ShowScoreView(false); });
  scoreViewAction_ = new QAction(QStringLiteral("简谱(&J)"), this);
  scoreViewAction_->setCheckable(true);
  scoreViewAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
  connect(scoreViewAction_, &QAction::triggered, this, [this] { OnToggleScoreView(); });
  // The shortcut works in the dialog and in the view alike.
  addAction(scoreViewAction_);
  scoreView_->addAction(scoreViewAction_);
  singBackPanel_->rangeStrip().SetSources(
      [this] {
        // The learner sings alone: whatever plays stops first.
        player_.OnPause();
        return CreateRangeListener();
      },
      [this](const std::optional<VoiceRange>& range) { OnRangeChosen(range); });
  LoadStoredRange();
  // How strictly sing-back judges is the learner's choice, kept between runs.
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
  if (listening::ParseTolerance(
          OpenUserSettings()->value(kToleranceSetting).toString().toStdString(), tolerance))
    singBackPanel_->SetTolerance(tolerance);
  connect(singBackPanel_.get(), &CSingBackPanel::toleranceChosen, this,
          [this](listening::Tolerance chosen) {
            OpenUserSettings()->setValue(kToleranceSetting,
                                         QString::fromUtf8(listening::ToleranceName(chosen)));
            if (ear_) ear_->SetTolerance(chosen);
          });
  loadedText_ = kBuiltInScore;
  // Queued: a stop is often followed at once by a new start (the button pressed again).
  earRelease_ = std::make_unique<CStopWatcher>(
      [this] { QTimer::singleShot(0, this, [this] { ReleaseEarWhenStopped(); }); });
  player_.AddObserver(earRelease_.get());

  appIcon_ = TunwickIcon();
}

CTunwickDlg::~CTunwickDlg() {
  // The MIDI port and its worker go first, before any of the state they might touch.
  device_->Close();
  if (windowPlatform_) windowPlatform_->KillTimer1();
  player_.RemoveObserver(followAlong_.get());
  player_.RemoveObserver(singBackPanel_.get());
  player_.RemoveObserver(earRelease_.get());
  // A take may be running: the player lets go of the ear before it stops listening.
  player_.SetEar(nullptr);
}

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
      case ControlKind::Button:
      case ControlKind::DefaultButton: {
        // No default button: Enter presses the button that has the focus (keyPressEvent).
        auto* button = new QPushButton(QString::fromUtf8(control.text), this);
        button->setAutoDefault(false);
        button->setDefault(false);
        buttons_[control.id] = button;
        widget = button;
        break;
      }
      case ControlKind::Edit:
        edit_ = new CScoreEdit(this);
        edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit_->setTabChangesFocus(true);
        widget = edit_;
        break;
      case ControlKind::Label:
      case ControlKind::Icon: {
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

  const std::pair<int, void (CTunwickDlg::*)()> routes[] = {
      {IDC_PRACTICE, &CTunwickDlg::OnPractice},  {IDC_CONTINUE, &CTunwickDlg::OnContinue},
      {IDC_PAUSE, &CTunwickDlg::OnPause},        {IDC_TEACHING, &CTunwickDlg::OnTeaching},
      {IDC_PLAY_ALL, &CTunwickDlg::OnPlayAll},   {IDC_LOAD, &CTunwickDlg::OnLoad},
      {IDC_SAVE_TEXT, &CTunwickDlg::OnSaveText}, {IDC_READ_TEXT, &CTunwickDlg::OnReadText},
      {IDC_CLEAR, &CTunwickDlg::OnClear},        {IDC_RESTORE, &CTunwickDlg::OnRestoreBuiltIn},
      {IDC_REPEAT, &CTunwickDlg::OnRepeat},      {IDC_SAVE_MIDI, &CTunwickDlg::OnSaveMidi},
      {IDC_SING_BACK, &CTunwickDlg::OnSingBack},
  };
  for (const auto& [id, handler] : routes)
    connect(buttons_.at(id), &QPushButton::clicked, this, handler);
}

QPushButton* CTunwickDlg::button(int id) const {
  const auto found = buttons_.find(id);
  return found == buttons_.end() ? nullptr : found->second;
}

int CTunwickDlg::DoModal() {
  OnInitDialog();
  return exec();
}

bool CTunwickDlg::OnInitDialog() {
  UpdateData(false);
  setWindowIcon(appIcon_);

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

  player_.LoadBuiltInAtStartup();

  // The first control in tab order takes the focus.
  button(IDC_PRACTICE)->setFocus(Qt::OtherFocusReason);
  // The score view as it was left, once the dialog stands where it goes.
  if (OpenUserSettings()->value(QLatin1String(kScoreViewOpenKey), false).toBool())
    QTimer::singleShot(0, this, [this] { ShowScoreView(true); });
  return true;
}

void CTunwickDlg::UpdateData(bool saveAndValidate) {
  if (saveAndValidate)
    scoreText = edit_->ScoreText();
  else
    edit_->SetScoreText(scoreText);
}

// ---- Play commands: one hop to the player ----

void CTunwickDlg::OnPractice() { player_.OnPractice(); }
void CTunwickDlg::OnContinue() {
  // A paused exercise listens again; a finished one has nothing to resume.
  const PlayerPosition at = player_.Position();
  if (at.mode == SingBackMode && !at.playing && !player_.SingBackOver() && !OpenEar()) return;
  player_.OnContinue();
}
void CTunwickDlg::OnPause() { player_.OnPause(); }
void CTunwickDlg::OnTeaching() { player_.OnTeaching(); }
void CTunwickDlg::OnPlayAll() { player_.OnPlayAll(); }
void CTunwickDlg::OnRepeat() { player_.OnRepeat(); }

bool CTunwickDlg::OpenEar() {
  if (ear_) return true;
  try {
    ear_ = CreateEar();
  } catch (const std::exception& error) {
    ShowMessageBox(
        QStringLiteral("%1\n\n跟唱模式要听你唱：请接上麦克风，或在声音设置里选好输入设备。")
            .arg(QString::fromLocal8Bit(error.what())),
        QString::fromUtf8(kApplicationTitle), QMessageBox::Warning);
    return false;
  }
  ear_->SetTolerance(singBackPanel_->tolerance());
  player_.SetEar(ear_.get());
  singBackPanel_->SetEar(ear_.get());
  // Each judged try is kept first, so that the panel's history shows it too.
  ear_->SetJudgementSink([this](int32_t row, const listening::TakeJudgement& judgement) {
    RecordTry(row, judgement);
    singBackPanel_->TakeJudged(row, judgement);
  });
  return true;
}

history::CPracticeHistory& CTunwickDlg::Practice() {
  if (!practice_)
    practice_ = std::make_unique<history::CPracticeHistory>(
        PracticeHistoryPath(), [this] { return WallNow(); },
        [this](const std::string& notice) { practiceNotice_ = notice; });
  return *practice_;
}

void CTunwickDlg::RecordTry(int32_t row, const listening::TakeJudgement& judgement) {
  // A take too quiet to judge is no try of the learner's: the panel says what to do.
  if (judgement.tooQuiet()) return;
  history::TryRecord tried = history::TryOf(player_.score(), row, judgement);
  tried.toleranceCents = judgement.hitCents;
  tried.scoreHash = history::ScoreHash(loadedText_);
  tried.scoreFile = loadedFile_;
  tried.takeMs = player_.TakeLengthMs();
  tried.transpose = player_.PhraseShift(row);
  if (const std::optional<VoiceRange>& range = player_.Range()) {
    tried.rangeLow = range->low;
    tried.rangeHigh = range->high;
  }
  tried.source = "window";
  Practice().Record(tried);
}

CSingBackPanel::HistoryView CTunwickDlg::PhraseHistory(int32_t row) {
  constexpr int64_t kWeekMs = 7 * 24 * 3600 * 1000LL;
  CSingBackPanel::HistoryView view;
  const std::string hash = history::ScoreHash(loadedText_);
  try {
    history::CPracticeHistory& practice = Practice();
    const int64_t since = practice.Now().unixMs - kWeekMs;
    practice.With([&](history::CPracticeStore& store) {
      view.progress = store.ProgressOf(hash, row);
      view.weekPracticeMs = history::PracticeMs(store.TakesSince(since));
    });
    view.shown = true;
  } catch (const history::PracticeStoreError& error) {
    practiceNotice_ = std::string("练习记录无法读取：") + error.what();
  }
  // A complaint is shown once, with the next view of the history.
  view.notice = QString::fromStdString(practiceNotice_);
  practiceNotice_.clear();
  return view;
}

void CTunwickDlg::LoadStoredRange() {
  const std::string stored =
      OpenUserSettings()->value(QString::fromLatin1(kRangeSetting)).toString().toStdString();
  std::string problem;
  // A setting that does not read as a range (edited by hand) is as none.
  const std::optional<VoiceRange> range =
      stored.empty() ? std::nullopt : listening::ParseVoiceRange(stored, problem);
  player_.SetRange(range);
  singBackPanel_->rangeStrip().ShowRange(range);
}

void CTunwickDlg::OnRangeChosen(const std::optional<VoiceRange>& range) {
  // Playback stops, so that what plays next, and every try judged, is at the new range.
  player_.OnPause();
  player_.SetRange(range);
  const std::unique_ptr<QSettings> settings = OpenUserSettings();
  if (range)
    settings->setValue(QString::fromLatin1(kRangeSetting),
                       QString::fromStdString(listening::VoiceRangeText(*range)));
  else
    settings->remove(QString::fromLatin1(kRangeSetting));
  settings->sync();
}

void CTunwickDlg::ReleaseEarWhenStopped() {
  if (!ear_ || player_.Position().playing) return;
  player_.SetEar(nullptr);
  singBackPanel_->SetEar(nullptr);
  ear_.reset();
}

void CTunwickDlg::OnSingBack() {
  if (!OpenEar()) return;
  if (!singBackPanel_->isVisible()) {
    // Beside the dialog, so that the dialog keeps its layout, and on the screen.
    singBackPanel_->move(CSingBackPanel::PlaceBeside(frameGeometry(), singBackPanel_->size(),
                                                     screen()->availableGeometry()));
    singBackPanel_->show();
  }
  singBackPanel_->Reset();
  player_.OnSingBack();
}

void CTunwickDlg::OnRestoreBuiltIn() {
  const int32_t loads = player_.LoadCount();
  player_.OnRestoreBuiltIn();
  if (player_.LoadCount() != loads) {
    followAlong_->ClearSource();
    loadedText_ = kBuiltInScore;
    loadedFile_.clear();
  }
}

void CTunwickDlg::OnLoad() {
  UpdateData(true);
  LoadBoxText();
}

void CTunwickDlg::LoadBoxText() {
  const QString boxText = edit_->toPlainText();
  const int32_t loads = player_.LoadCount();
  player_.OnLoad(scoreText);
  if (player_.LoadCount() != loads) {
    followAlong_->SetSource(boxText, player_.textBuffer());
    loadedText_ = scoreText;
    // From the file read last, unless the box has been edited since (line ends aside).
    loadedFile_ =
        !readFile_.empty() && history::ScoreHash(readText_) == history::ScoreHash(scoreText)
            ? readFile_
            : std::string();
    return;
  }
  // Refused: the message box has said why; the box now shows where.
  const CPlayer::ParseFault& fault = player_.LastParseFault();
  followAlong_->ShowFault(boxText, player_.textBuffer(), fault.phraseOffset, fault.phraseLength,
                          fault.numberOffset, fault.numberLength);
}

// ---- Score text files ----

void CTunwickDlg::ShowFileError(const QString& format, const QString& path,
                                const std::string& reason) {
  ShowMessageBox(format.arg(path, QString::fromLocal8Bit(reason.c_str())),
                 QString::fromUtf8(kApplicationTitle), QMessageBox::Warning);
}

void CTunwickDlg::OnSaveText() {
  UpdateData(true);
  const QString path = AskSaveFileName(QString::fromUtf8(kTextFileFilter), QStringLiteral("txt"));
  if (path.isEmpty()) return;
  const FileWriteResult result =
      WriteScoreTextFile(QFile::encodeName(path).toStdString(), scoreText);
  if (!result.ok)
    ShowFileError(QStringLiteral("无法保存文件“%1”：%2。原有的文件没有改动。"), path,
                  result.systemError);
}

void CTunwickDlg::OnReadText() {
  const QString path = AskOpenFileName(QString::fromUtf8(kTextFileFilter), QStringLiteral("txt"));
  if (path.isEmpty()) return;
  const ScoreTextReadResult result = ReadScoreTextFile(QFile::encodeName(path).toStdString());
  switch (result.status) {
    case ScoreTextReadResult::kCannotOpen:
      ShowFileError(QStringLiteral("无法打开文件“%1”：%2"), path, result.systemError);
      return;
    case ScoreTextReadResult::kReadError:
      ShowFileError(QStringLiteral("读文件“%1”时出错：%2"), path, result.systemError);
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
  char* const textBuffer = player_.textBuffer();
  std::memcpy(textBuffer, result.text.data(), result.text.size());
  textBuffer[result.text.size()] = '\0';
  scoreText = textBuffer;
  UpdateData(false);
  readText_ = scoreText;
  readFile_ = QFileInfo(path).absoluteFilePath().toStdString();
}

void CTunwickDlg::OnClear() {
  scoreText.clear();
  UpdateData(false);
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
    CPlayer::BuildOnlyScope quietly(player_);
    LoadBoxText();
  }

  const QString path = AskSaveFileName(QString::fromUtf8(kMidiFileFilter), QStringLiteral("mid"));
  if (path.isEmpty()) return;
  try {
    midi::WriteMidiFile(QFile::encodeName(path).toStdString(),
                        midi::MidiFileBytes(player_.timeline()));
  } catch (const std::exception& error) {
    ShowFileError(QStringLiteral("无法保存 MIDI 文件“%1”：%2"), path, error.what());
  }
}

// ---- Score view ----

void CTunwickDlg::OnToggleScoreView() { ShowScoreView(!scoreView_->isVisible()); }

void CTunwickDlg::ShowScoreView(bool open) {
  if (open && !scoreView_->isVisible()) {
    // Beside the dialog (beside the sing-back panel when that is open), on the screen.
    const QRect beside =
        singBackPanel_->isVisible() ? singBackPanel_->frameGeometry() : frameGeometry();
    scoreView_->resize(scoreView_->width(), std::max(scoreView_->height(), height()));
    scoreView_->move(CSingBackPanel::PlaceBeside(beside, scoreView_->frameGeometry().size(),
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
                                 QMessageBox::Icon icon) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, this);
  box.exec();
}

QString CTunwickDlg::AskSaveFileName(const QString& filter, const QString& defaultSuffix) {
  return RememberFolderOf(GetSaveFileName(filter, defaultSuffix));
}

QString CTunwickDlg::AskOpenFileName(const QString& filter, const QString& defaultSuffix) {
  return RememberFolderOf(GetOpenFileName(filter, defaultSuffix));
}

QString CTunwickDlg::RememberFolderOf(const QString& path) {
  if (!path.isEmpty()) fileDialogFolder_ = QFileInfo(path).absolutePath();
  return path;
}

QString CTunwickDlg::GetSaveFileName(const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(this);
  if (!fileDialogFolder_.isEmpty()) dialog.setDirectory(fileDialogFolder_);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString CTunwickDlg::GetOpenFileName(const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(this);
  if (!fileDialogFolder_.isEmpty()) dialog.setDirectory(fileDialogFolder_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

// ---- The player's messages ----

void CTunwickDlg::ShowMessage(const char* text) {
  ShowMessageBox(QString::fromLocal8Bit(text), QString::fromUtf8(kApplicationTitle),
                 QMessageBox::NoIcon);
}
