#include "window/DialogLayout.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

const ControlTemplate kMainDialogControls[kMainDialogControlCount] = {
    {1000, ControlKind::kButton, "练音模式", 19, 7, 50, 14},
    {1001, ControlKind::kButton, "继续演奏", 77, 7, 50, 14},
    {1002, ControlKind::kButton, "暂停演奏", 136, 7, 50, 14},
    {1003, ControlKind::kButton, "教歌模式", 19, 25, 50, 14},
    {1004, ControlKind::kButton, "演奏全部", 77, 25, 50, 14},
    {1011, ControlKind::kButton, "恢复系统", 136, 25, 50, 14},
    {1006, ControlKind::kButton, "装入", 7, 255, 50, 14},
    {1007, ControlKind::kButton, "存为文件", 78, 255, 50, 14},
    {1008, ControlKind::kButton, "读入文件", 149, 255, 50, 14},
    {1009, ControlKind::kButton, "清空", 220, 255, 50, 14},
    {1005, ControlKind::kEdit, "", 7, 275, 567, 134},
    {-1, ControlKind::kLabel,
     "在下面的输入框你可以输入自己的乐谱，应当由一个一个的小乐句构成，各个乐句之间用字符“|"
     "”隔开，如果只有一个乐句，就不用字符“|”",
     7, 43, 567, 12},  // help text 1
    {-1, ControlKind::kLabel,
     "每一个小乐句由若干对实数构成，这些数是一对一对的，数之间用逗号隔开，第一个数代表节拍数，第二"
     "个数代表音的高低",
     7, 57, 567, 12},  // help text 2
    {-1, ControlKind::kLabel,
     "第一个数格式：1代表一拍，10代表两拍，100代表三拍，等等，0.1代表半拍，0.01代表四分之一拍，0."
     "001代表八分之一拍，0.0001代表十六分之一拍",
     7, 71, 567, 12},  // help text 3
    {-1, ControlKind::kLabel,
     "第二个数的格式：12345670代表多来米发梭拉西和休止符，再如：30代表高音3，0.3代表低音3，0."
     "35代表低音3升半调，不允许降半调",
     7, 135, 488, 12},  // help text 7
    {-1, ControlKind::kLabel,
     "1.1代表一拍加半拍，0.11代表半拍加四分之一拍，0."
     "011代表四分之一拍加八分之一拍，一般情况只能够出现字符0和1，特殊情况出现在三连音",
     7, 101, 567, 12},  // help text 5
    {-1, ControlKind::kLabel,
     "3代表三分之二拍，0.3代表三分之一拍，0.03代表半拍的三分之一，0.003表示四分之一拍的三分之一", 7,
     118, 474, 12},  // help text 6
    {-1, ControlKind::kLabel,
     "在每一个乐句的一开始可以有do=加一个大写字母的形式，如果没有，默认为C调，例如do=F就是F调，do="
     "Bb是降B调,do＝F#是升F",
     9, 153, 511, 12},  // help text 8
    {-1, ControlKind::kLabel,
     "单击存为文件按钮就可以将辛苦输入的乐谱存入文件中，需要时单击读入文件按钮将文件读回来，如果单"
     "击装入按钮，可以试试自己输入的乐谱",
     9, 172, 565, 12},  // help text 9
    {-1, ControlKind::kLabel,
     "单击清空键可将编辑框中的内容清除, "
     "在每个乐句开始输入s=后跟数字加逗号就是速度，如s=100,就是每分钟一百拍",
     9, 192, 504, 12},  // help text 10
    {-1, ControlKind::kLabel,
     "所有的表示音符的实数都用逗号隔开,无论如何先单击一下练音模式按钮试试,"
     "如果练音模式下再单击此按钮将进到下一练习曲",
     7, 227, 541, 12},  // help text 12
    {-1, ControlKind::kLabel,
     "可以有0拍，0拍音符将和紧挨其后的音符构成和弦，可以有多个0拍构成多个音的和弦", 7, 86, 567,
     15},  // help text 4
    {-1, ControlKind::kLabel,
     "每一个乐句也可以分为若干个声部，用字符 && 隔开，此字符前面不能够紧挨着数字, "
     "各个声部的时长必须一样",
     9, 209, 506, 16},  // help text 11
    {1012, ControlKind::kButton, "反复演奏", 195, 7, 50, 14},
    {1013, ControlKind::kButton, "存为midi文件", 297, 255, 50, 14},
    // The free fourth place of the second row, under 反复演奏; last in tab order.
    {1014, ControlKind::kButton, "跟唱模式", 195, 25, 50, 14},
};

const ControlTemplate kAboutDialogControls[kAboutDialogControlCount] = {
    {-1, ControlKind::kLabel, "Tunwick " TUNWICK_SHORT_VERSION " 版", 40, 10, 119, 8},
    {-1, ControlKind::kLabel, "简谱教歌与练唱，乐谱文本与 MIDI 文件导出。", 40, 25, 227, 8},
    {1, ControlKind::kDefaultButton, "确定", 267, 7, 50, 16},
    {-1, ControlKind::kIcon, "", 11, 17, 21, 21},
};

const ControlTemplate kLookAlikeLine = {-1, ControlKind::kLabel, "", 355, 255, 219, 14};

const char* ControlToolTip(int id) {
  static const struct {
    int id;
    const char* tip;
  } kTips[] = {
      {IDC_PRACTICE, "练音：把一句演奏 24 遍，音高逐步升高，跟着练唱；练音中再按一次，换下一句"},
      {IDC_CONTINUE, "从暂停的地方接着演奏；还没有演奏过时，演奏已装入乐谱的第一句"},
      {IDC_PAUSE, "暂停演奏；按“继续演奏”从这里接着演奏"},
      {IDC_TEACHING, "教歌：一句一句地教，每句演奏两遍，句与句之间有提示音"},
      {IDC_PLAY_ALL, "把已装入的乐谱从头到尾演奏一遍"},
      {IDC_RESTORE, "装入并演奏程序自带的内置乐谱（编辑框里的文字不变）"},
      {IDC_REPEAT, "把已装入的乐谱从头到尾反复演奏，直到按“暂停演奏”"},
      {IDC_SING_BACK, "跟唱：每句先演奏，响提示音后对着麦克风唱，逐音评判唱得准不准"},
      {IDC_LOAD, "装入编辑框里的乐谱并演奏；装入以前，各演奏按钮演奏的是内置乐谱"},
      {IDC_SAVE_TEXT, "把编辑框里的乐谱存为文本文件"},
      {IDC_READ_TEXT, "从文本文件读入乐谱，放进编辑框；按“装入”才演奏"},
      {IDC_CLEAR, "清空编辑框（已装入的乐谱照旧演奏）"},
      {IDC_SAVE_MIDI, "把编辑框里的乐谱存为 MIDI 文件"},
  };
  for (const auto& tip : kTips)
    if (tip.id == id) return tip.tip;
  return "";
}

const char kAboutMenuText[] = "关于 Tunwick(&A)...";
const char kMainDialogTitle[] = "Tunwick";
const char kAboutDialogTitle[] = "关于 Tunwick";
const char kApplicationTitle[] = "Tunwick";

namespace {

constexpr const char* kDialogFontFamily = "宋体";
constexpr int kDialogFontPoints = 9;

// The family fontconfig picks for "宋体" in Simplified Chinese; empty when it picks none.
QString SubstituteFamily() {
  QString family;
  if (!FcInit()) return family;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("宋体:lang=zh-cn"));
  if (!pattern) return family;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match) {
    FcChar8* name = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
      family = QString::fromUtf8(reinterpret_cast<const char*>(name));
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return family;
}

int MulDiv(int number, int numerator, int denominator) {
  // Rounds half away from zero, as the Windows helper does; all values here are >= 0.
  return static_cast<int>((static_cast<long long>(number) * numerator + denominator / 2) /
                          denominator);
}

}  // namespace

QFont DialogFont() {
  QString family = QString::fromUtf8(kDialogFontFamily);
  const QStringList installed = QFontDatabase::families();
  if (!installed.contains(family) && !installed.contains(QStringLiteral("SimSun"))) {
    const QString substitute = SubstituteFamily();
    if (!substitute.isEmpty()) family = substitute;
  } else if (!installed.contains(family)) {
    family = QStringLiteral("SimSun");
  }
  QFont font(family);
  font.setPointSize(kDialogFontPoints);
  font.setStyleHint(QFont::AnyStyle, QFont::PreferMatch);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetWidth = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogBaseUnits units;
  units.cx = (alphabetWidth / 26 + 1) / 2;
  units.cy = metrics.height();
  return units;
}

QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units) {
  return QRect(MulDiv(dialogUnits.x(), units.cx, 4), MulDiv(dialogUnits.y(), units.cy, 8),
               MulDiv(dialogUnits.width(), units.cx, 4), MulDiv(dialogUnits.height(), units.cy, 8));
}

QString StaticDisplayText(const char* resourceText) {
  const QString text = QString::fromUtf8(resourceText);
  QString shown;
  shown.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
        shown += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    shown += text[i];
  }
  return shown;
}
