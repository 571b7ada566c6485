#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "files/ReplacingFile.h"
#include "jianpu/SheetExport.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"

namespace {

// Qt's notes about its environment (no runtime folder, say) are no concern of a command that
// only draws into a file; its errors still reach standard error.
void QuietQtNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s: %s\n", kProgram, message.toLocal8Bit().constData());
}

// Fonts need a GUI application; the offscreen platform needs no display.
std::unique_ptr<QGuiApplication> GuiForFonts() {
  if (QGuiApplication::instance() != nullptr) return nullptr;
  qInstallMessageHandler(QuietQtNotes);
  static char name[] = "tunwick";
  static char platformOption[] = "-platform";
  static char platform[] = "offscreen";
  static char* argv[] = {name, platformOption, platform, nullptr};
  static int argc = 3;
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

const char kJianpuArguments[] = "FILE OUT.pdf|OUT.svg|OUT.png [--title TEXT]";

int RunJianpuCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  ParsedArguments parsed;
  if (!ParseArguments(arguments, {"--title"}, streams, parsed)) return kExitUsage;
  jianpu::SheetFormat format = jianpu::SheetFormat::kPdf;
  if (parsed.positional.size() != 2) return Usage(streams, "jianpu", kJianpuArguments);
  const std::string& in = parsed.positional[0];
  const std::string& out = parsed.positional[1];
  if (!jianpu::SheetFormatOf(out, format))
    return Usage(streams, "jianpu", kJianpuArguments,
                 "the output must end in .pdf, .svg or .png: " + out);

  // The score is checked as every command loads one: the parser's message, or no phrase.
  std::string text;
  if (!ReadScore(in, streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  if (!LoadScore(in, text, player, platform.messages, streams)) return kExitFailure;

  const jianpu::Sheet sheet = jianpu::ReadSheet(text);
  const std::unique_ptr<QGuiApplication> application = GuiForFonts();
  const std::string bytes = jianpu::SheetFileBytes(
      jianpu::A4Pages(sheet, parsed.Has("--title") ? parsed.Option("--title", "")
                                                   : jianpu::SheetTitle(sheet, in)),
      format);
  const FileWriteResult written = WriteFileReplacing(out, bytes);
  if (!written.ok) {
    std::fprintf(streams.err, "%s: cannot write %s: %s\n", kProgram, out.c_str(),
                 written.systemError.c_str());
    return kExitFailure;
  }
  return kExitOk;
}
