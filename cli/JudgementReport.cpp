#include "cli/JudgementReport.h"

#include <algorithm>
#include <cmath>

#include "listening/Pitch.h"
#include "listening/VerdictText.h"

namespace {

using listening::LevelVerdictName;
using listening::NoteJudgement;
using listening::TakeJudgement;
using listening::Verdict;
using listening::VerdictName;

std::string SungNoteName(const NoteJudgement& note) {
  if (note.verdict == Verdict::kNotSung) return "-";
  return listening::NoteName(static_cast<int32_t>(std::lround(note.sungMidiCents / 100.0)));
}

std::string Timing(int32_t offsetMs) {
  if (offsetMs > 0) return "sung " + std::to_string(offsetMs) + " ms late";
  if (offsetMs < 0) return "sung " + std::to_string(-offsetMs) + " ms early";
  return "sung on time";
}

std::string Formatted(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// A level in dB for JSON; null for silence and when nothing was measured.
std::string JsonDb(double db) {
  // Rounded first, so that a hair under full scale reads 0.0 rather than -0.0.
  return db > listening::kSilentDb ? Formatted(std::round(db * 10.0) / 10.0 + 0.0, "%.1f")
                                   : std::string("null");
}

void WriteLevelAdvice(std::FILE* out, const listening::TakeLevel& level) {
  if (level.verdict == listening::LevelVerdict::kTooQuiet) {
    std::fprintf(out,
                 "Too quiet: the take peaked at %.1f dBFS and the voice stood %.0f dB above the "
                 "noise around it (%.0f dB are needed to judge it). Sing closer to the "
                 "microphone or raise the input volume.\n",
                 level.peakDb, std::max(0.0, level.SignalToNoiseDb()),
                 listening::LevelSettings{}.leastSignalToNoiseDb);
  } else if (level.verdict == listening::LevelVerdict::kSilent) {
    std::fprintf(out,
                 "Silence: no sound reached the take, so it is not judged. Is the microphone "
                 "muted or unplugged?\n");
  } else if (level.verdict == listening::LevelVerdict::kOverloaded) {
    std::fprintf(out,
                 "Overloaded: %lld sample%s reached full scale and %s clipped; the notes are "
                 "judged all the same. Sing further from the microphone or lower the input "
                 "volume.\n",
                 static_cast<long long>(level.clippedSamples), level.clippedSamples == 1 ? "" : "s",
                 level.clippedSamples == 1 ? "was" : "were");
  }
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

void WriteJudgementTable(std::FILE* out, const TakeReportHeading& heading,
                         const TakeJudgement& judgement) {
  std::string raised;
  if (heading.transpose != 0)
    raised = ", " + std::string(heading.transpose > 0 ? "raised " : "lowered ") +
             std::to_string(std::abs(heading.transpose)) + " semitone" +
             (std::abs(heading.transpose) == 1 ? "" : "s");
  std::fprintf(out, "Phrase %d of %d%s, %d note%s to sing; take %s: %.1f s", heading.phrase,
               heading.phrases, raised.c_str(), judgement.Judged(),
               judgement.Judged() == 1 ? "" : "s", heading.take.c_str(), heading.takeSeconds);
  if (!judgement.nothingHeard && judgement.Judged() > 0)
    std::fprintf(out, ", %s", Timing(judgement.offsetMs).c_str());
  std::fprintf(out, "\n");
  if (heading.tolerance != listening::Tolerance::kNormal)
    std::fprintf(out, "Judged %s: a hit is within %.0f cents of its note.\n",
                 listening::ToleranceName(heading.tolerance),
                 listening::ToleranceCents(heading.tolerance));
  if (judgement.Judged() == 0) {
    std::fprintf(out, "Nothing to sing in this phrase.\n");
    return;
  }
  if (judgement.TooQuiet()) {
    WriteLevelAdvice(out, judgement.level);
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
    std::fprintf(out, "Nothing heard: 0 of %d notes hit.\n", judgement.Judged());
  } else {
    const std::string notPassed =
        "not passed (" + std::to_string(listening::JudgeSettings{}.PassPercent()) + "% passes)";
    std::fprintf(out, "Total: %d of %d notes hit (%d%%): %s\n", judgement.hits, judgement.Judged(),
                 listening::HitPercent(judgement.hits, judgement.Judged()),
                 listening::PassesPhrase(judgement) ? "passed" : notPassed.c_str());
  }
  WriteLevelAdvice(out, judgement.level);
}

void WriteJudgementJson(std::FILE* out, const TakeReportHeading& heading,
                        const TakeJudgement& judgement) {
  std::fprintf(out,
               "{\"score\": %s, \"take\": %s, \"phrase\": %d, \"phrases\": %d, \"transpose\": %d,"
               " \"takeSeconds\": %s, \"offsetMs\": %d, \"nothingHeard\": %s,",
               JsonString(heading.score).c_str(), JsonString(heading.take).c_str(), heading.phrase,
               heading.phrases, heading.transpose, Formatted(heading.takeSeconds, "%.3f").c_str(),
               judgement.offsetMs, judgement.nothingHeard ? "true" : "false");
  const listening::TakeLevel& level = judgement.level;
  const bool noise = level.noiseFloorDb > listening::kSilentDb;
  std::fprintf(out,
               "\n \"tolerance\": %s, \"toleranceCents\": %.0f, \"level\": %s, \"peakDb\": %s,"
               " \"noiseFloorDb\": %s, \"signalToNoiseDb\": %s, \"clippedSamples\": %lld,"
               "\n \"notes\": [",
               JsonString(listening::ToleranceName(heading.tolerance)).c_str(),
               listening::ToleranceCents(heading.tolerance),
               JsonString(LevelVerdictName(level.verdict)).c_str(), JsonDb(level.peakDb).c_str(),
               JsonDb(level.noiseFloorDb).c_str(),
               noise && level.loudestDb > listening::kSilentDb
                   ? Formatted(level.SignalToNoiseDb(), "%.1f").c_str()
                   : "null",
               static_cast<long long>(level.clippedSamples));
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
               judgement.Judged(), listening::PassesPhrase(judgement) ? "true" : "false");
}
