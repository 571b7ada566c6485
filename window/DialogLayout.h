#pragma once

#include <QFont>
#include <QRect>
#include <QString>

// The dialog templates of the program: every control with its id, kind, text and
// rectangle in dialog units, and the conversion of dialog units into pixels.

enum class ControlKind { kButton, kDefaultButton, kEdit, kLabel, kIcon };

struct ControlTemplate {
  int id;  // -1 for controls without an id
  ControlKind kind;
  const char* text;  // resource text (UTF-8): "&" marks the access key, "&&" shows one "&"
  int x, y, width, height;
};

// Main dialog, template 102, in template order (which is also the tab order).
constexpr int kMainDialogWidthDu = 581;
constexpr int kMainDialogHeightDu = 416;
constexpr int kMainDialogControlCount = 26;
extern const ControlTemplate kMainDialogControls[kMainDialogControlCount];

// About box, template 100.
constexpr int kAboutDialogWidthDu = 324;
constexpr int kAboutDialogHeightDu = 56;
constexpr int kAboutDialogControlCount = 4;
extern const ControlTemplate kAboutDialogControls[kAboutDialogControlCount];

// Control ids of the main dialog.
enum : int {
  IDC_PRACTICE = 1000,
  IDC_CONTINUE = 1001,
  IDC_PAUSE = 1002,
  IDC_TEACHING = 1003,
  IDC_PLAY_ALL = 1004,
  IDC_SCORE_EDIT = 1005,
  IDC_LOAD = 1006,
  IDC_SAVE_TEXT = 1007,
  IDC_READ_TEXT = 1008,
  IDC_CLEAR = 1009,
  IDC_RESTORE = 1011,
  IDC_REPEAT = 1012,
  IDC_SAVE_MIDI = 1013,
  IDC_SING_BACK = 1014,
};

// What each button of the main dialog does, for its tooltip (UTF-8); "" for other ids.
const char* ControlToolTip(int id);

// The line of look-alike warnings: the free end of the file buttons' row, right of
// "存为midi文件" and just above the score box, so that every control keeps its place.
extern const ControlTemplate kLookAlikeLine;

// String 101, the About entry of the window menu, and its command id.
extern const char kAboutMenuText[];
constexpr unsigned kIdmAboutBox = 0x0010;

extern const char kMainDialogTitle[];
extern const char kAboutDialogTitle[];
// The application's title: the caption of the parser's message boxes.
extern const char kApplicationTitle[];

// Dialog base units as Windows derives them from the dialog font: the average width of
// the letters A-Z a-z, and the character height.
struct DialogBaseUnits {
  int cx = 0;
  int cy = 0;
};

// The dialog font: "宋体" at 9 points where it is installed; otherwise the font fontconfig
// substitutes for it in Simplified Chinese, so that the Chinese texts render.
QFont DialogFont();
DialogBaseUnits BaseUnitsOf(const QFont& font);
// Dialog units to pixels: x and width by cx / 4, y and height by cy / 8, rounded.
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units);

// A resource text as a static control shows it: "&&" becomes "&", a single "&" (the
// access-key mark) disappears.
QString StaticDisplayText(const char* resourceText);
