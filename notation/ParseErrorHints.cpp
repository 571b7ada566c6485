#include "notation/ParseErrorHints.h"

#include <cstring>

#include "notation/ScoreParseError.h"

namespace {

struct Hint {
  const char* message;
  const char* hint;
};

// Every message the parser can raise, with what it means in the notation's own terms.
constexpr Hint kHints[] = {
    {"error timing003!",
     "三连音时值写错了：含 3 的时值只能是 3、0.3、0.03 或 0.003（2/3、1/3、1/6、1/12 拍）。"},
    {"error timeing001!",
     "时值写错了：时值只用 0 和 1 书写，不写拍数。1 是一拍，10 是两拍，100 是三拍，0.1 是半拍，"
     "0.01 是四分之一拍，1.1 是一拍半；不能写 2、4 或 0.5。每个音先写时值，再写音高。"},
    {"error timeing002!",
     "时值写错了：时值里只能有 0、1 和小数点（三连音用 3）。附点一拍写作 1.1，不是 1.5；"
     "两拍写作 10，不是 2 或 12；一拍又四分之一拍写作 1.01。"},
    {"error timing 004",
     "时值写错了：小数点后最多六位，每位只能是 0 或 1（0.000001 是 1/64 拍）；整数部分最多十位，"
     "带小数时最多七位。"},
    {"error tune 1111!",
     "音高写错了：音高只能是 1 到 7（do 到 si），0 是休止符；高八度写 10 到 70，低八度写 0.1 到 "
     "0.7；升半音在音级后加小数，如 4.5 是升 fa（3 和 7 没有升音）。没有 8 和 9。"},
    {"error tune",
     "调号写错了：do= 后面要紧跟大写字母 A 到 G，可再加 # 或 b，如 do=F、do=Bb、do=C#。"},
    {"error!!!", "速度写错了：速度写作小写 s、半角等号和一到三位数字，后加逗号，如 s=100,。"},
    {"error1",
     "& 前面没有音：& 分开同一乐句的几个声部，要写在前一个声部的音之后，不能放在乐句开头。"},
    {"error2",
     "& 前面的数字不成对：每个音是一对数字（先时值，后音高），& 前的声部要写完整；& 也不能紧跟在"
     "数字或小数点后面，要先空一格，如 1,1 &1,5。"},
    {"error3", "声部太多：一个乐句最多 48 个声部（47 个 &）。"},
    {"error4",
     "数字不成对：每个音是一对数字，先时值，后音高，一个乐句里数字的个数必须是偶数。请检查是否"
     "漏写或多写了一个数字；速度 s= 后最多三位数字。"},
    {"234", "声部长短不一：同一乐句中用 & 分开的各个声部，总拍数必须相同。"},
    {"error: more than 10000 numbers in one phrase",
     "乐句太长：一个乐句最多 10000 个数字（5000 个音），请用 | 分成几个乐句。"},
    {"error: more than 3000 phrases", "乐句太多：一份乐谱最多 3000 个乐句。"},
    {"error: score text of 50000 characters or more", "乐谱太长：乐谱文本必须少于 50000 个字符。"},
    {"error: side text over 60000 bytes",
     "乐谱太长：按声部分开的文本（f1.txt、f2.txt）各最多 60000 字节，请缩短乐谱。"},
    {"open fail!",
     "无法写入文件 f1.txt：程序的文件夹和用户数据文件夹都不能写入。乐谱本身没有错，请检查文件夹的"
     "写入权限。"},
    {"open fail 2!", "无法写入文件 f2.txt。乐谱本身没有错，请检查文件夹的写入权限。"},
};

}  // namespace

const char* ParseErrorHint(const char* message) {
  if (message == nullptr) return "";
  for (const Hint& entry : kHints)
    if (std::strcmp(entry.message, message) == 0) return entry.hint;
  return "";
}

const char* ParseErrorHint(const ScoreParseError& error) { return ParseErrorHint(error.what()); }
