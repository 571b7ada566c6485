#include "cli/JudgementReport.h"

#include <cmath>

#include "listening/Pitch.h"

namespace {

using listening::NoteJudgement;
using listening::TakeJudgement;
using listening::Verdict;

std::string SungNoteName(const NoteJudgement& note) {
  if (note.verdict == Verdict::kNotSung) return "-";
  return listening::NoteName(static_cast<int32_t>(std::lround(note.sungMidiCents / 100.0)));
}

std::string Timing(int32_t offsetMs) {
  if (offsetMs > 0) return "sung " + std::to_string(offsetMs) + " ms late";
  if (offsetMs < 0) return "sung " + std::to_string(-offsetMs) + " ms early";
  return "sung on time";
}

int32_t Percent(int32_t part, int32_t whole) {
  return whole > 0 ? static_cast<int32_t>(std::lround(100.0 * part / whole)) : 0;
}

std::string Formatted(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kHit:
      return "hit";
    case Verdict::kMissed:
      return "missed";
    case Verdict::kNotSung:
      break;
  }
  return "not sung";
}

void WriteJudgementTable(std::FILE* out, const TakeReportHeading& heading,
                         const TakeJudgement& judgement) {
  std::string raised;
  if (heading.transpose != 0)
    raised = ", " + std::string(heading.transpose > 0 ? "raised " : "lowered ") +
             std::to_string(std::abs(heading.transpose)) + " semitone" +
             (std::abs(heading.transpose) == 1 ? "" : "s");
  std::fprintf(out, "Phrase %d of %d%s, %d note%s to sing; take %s: %.1f s", heading.phrase,
               heading.phrases, raised.c_str(), judgement.judged(),
               judgement.judged() == 1 ? "" : "s", heading.take.c_str(), heading.takeSeconds);
  if (!judgement.nothingHeard && judgement.judged() > 0)
    std::fprintf(out, ", %s", Timing(judgement.offsetMs).c_str());
  std::fprintf(out, "\n");
  if (judgement.judged() == 0) {
    std::fprintf(out, "Nothing to sing in this phrase.\n");
    return;
  }

  std::fprintf(out, "  Note  Target  Sung   Cents  Voiced  Verdict\n");
  for (const NoteJudgement& note : judgement.notes) {
    const std::string cents =
        note.verdict == Verdict::kNotSung ? "-" : Formatted(std::round(note.cents) + 0.0, "%+.0f");
    std::fprintf(out, "  %4d  %-6s  %-5s  %5s  %5d%%  %s\n", note.target.index + 1,
                 listening::NoteName(note.target.pitch).c_str(), SungNoteName(note).c_str(),
                 cents.c_str(), static_cast<int>(std::lround(100.0 * note.voicedShare)),
                 VerdictName(note.verdict));
  }
  if (judgement.nothingHeard) {
    std::fprintf(out, "Nothing heard: 0 of %d notes hit.\n", judgement.judged());
    return;
  }
  std::fprintf(out, "Total: %d of %d notes hit (%d%%): %s\n", judgement.hits, judgement.judged(),
               Percent(judgement.hits, judgement.judged()),
               listening::PassesPhrase(judgement) ? "passed" : "not passed (80% passes)");
}

void WriteJudgementJson(std::FILE* out, const TakeReportHeading& heading,
                        const TakeJudgement& judgement) {
  std::fprintf(out,
               "{\"score\": %s, \"take\": %s, \"phrase\": %d, \"phrases\": %d, \"transpose\": %d,"
               " \"takeSeconds\": %s, \"offsetMs\": %d, \"nothingHeard\": %s,\n \"notes\": [",
               JsonString(heading.score).c_str(), JsonString(heading.take).c_str(), heading.phrase,
               heading.phrases, heading.transpose, Formatted(heading.takeSeconds, "%.3f").c_str(),
               judgement.offsetMs, judgement.nothingHeard ? "true" : "false");
  const char* separator = "";
  for (const NoteJudgement& note : judgement.notes) {
    const bool sung = note.verdict != Verdict::kNotSung;
    std::fprintf(out,
                 "%s\n  {\"note\": %d, \"startMs\": %d, \"endMs\": %d, \"target\": %s, "
                 "\"targetKey\": %d, \"sung\": %s, \"sungMidiCents\": %s, \"cents\": %s, "
                 "\"voiced\": %s, \"verdict\": %s}",
                 separator, note.target.index + 1, note.target.startMs, note.target.endMs,
                 JsonString(listening::NoteName(note.target.pitch)).c_str(), note.target.pitch,
                 sung ? JsonString(SungNoteName(note)).c_str() : "null",
                 sung ? Formatted(note.sungMidiCents, "%.1f").c_str() : "null",
                 sung ? Formatted(note.cents, "%.1f").c_str() : "null",
                 Formatted(note.voicedShare, "%.3f").c_str(),
                 JsonString(VerdictName(note.verdict)).c_str());
    separator = ",";
  }
  std::fprintf(out, "],\n \"hits\": %d, \"judged\": %d, \"passed\": %s}\n", judgement.hits,
               judgement.judged(), listening::PassesPhrase(judgement) ? "true" : "false");
}
