#include "cli/PlayDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "notation/TextSpans.h"
#include "playback/Player.h"

namespace {

constexpr const char* kClearLine = "\r\x1b[K";
constexpr const char* kLineUp = "\x1b[A";

// "3 semitones up", "1 semitone down", "0 semitones up".
std::string Shift(int32_t semitones) {
  const int32_t size = semitones < 0 ? -semitones : semitones;
  return std::to_string(size) + (size == 1 ? " semitone" : " semitones") +
         (semitones < 0 ? " down" : " up");
}

// ", 12 semitones down" for a phrase moved to fit the singer's range; "" for one as written.
std::string Moved(int32_t semitones) { return semitones != 0 ? ", " + Shift(semitones) : ""; }

}  // namespace

int TerminalWidth(std::FILE* stream) {
  if (stream == nullptr || isatty(fileno(stream)) != 1) return 0;
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

CPlayDisplay::CPlayDisplay(const CPlayer& player, std::string loadedText, std::FILE* out, int width,
                           std::function<bool()> stopped)
    : player_(player),
      text_(std::move(loadedText)),
      comments_(CommentSpans(text_)),
      out_(out),
      width_(width),
      stopped_(std::move(stopped)),
      song_(ReadSong(text_, player.LoadedScore())) {}

void CPlayDisplay::OnPlayerNotification(const PlayerNotification& n) {
  if (stopped_ && stopped_()) return;
  if (n.kind == PlayerNotification::kPassBegins) {
    PrintPass();
    return;
  }
  if (n.kind != PlayerNotification::kNote || width_ <= 0) return;
  // Notes heard at the same moment (a chord, voices) are marked together.
  if (n.row != row_ || n.atMs != at_) noteCount_ = 0;
  row_ = n.row;
  at_ = n.atMs;
  if (noteCount_ < static_cast<int>(sizeof notes_ / sizeof notes_[0]))
    notes_[noteCount_++] = n.note;
  const std::string words = WordsLine(row_, notes_, noteCount_);
  ClearLive();
  std::fputs(LiveLine(row_, notes_, noteCount_).c_str(), out_);
  if (!words.empty()) std::fprintf(out_, "\n%s", words.c_str());
  std::fflush(out_);
  liveLines_ = words.empty() ? 1 : 2;
}

void CPlayDisplay::Finish() {
  if (liveLines_ == 0) return;
  ClearLive();
  std::fflush(out_);
}

void CPlayDisplay::ClearLive() {
  std::fputs(kClearLine, out_);
  if (liveLines_ == 2) std::fprintf(out_, "%s%s", kLineUp, kClearLine);
  liveLines_ = 0;
}

void CPlayDisplay::PrintPass() {
  Finish();
  const PlayerPosition at = player_.Position();
  const int phrase = at.phrase + 1;
  switch (at.mode) {
    case PlayAllMode:
    case RepeatMode: {
      // Each phrase sits where it fits the range, which may differ from phrase to phrase.
      const char* fitted = player_.Range() ? ", each phrase fitted to the range" : "";
      if (at.mode == PlayAllMode)
        std::fprintf(out_, "Whole score, %d phrases%s\n", at.phraseCount, fitted);
      else
        std::fprintf(out_, "Whole score, %d phrases, pass %d%s\n", at.phraseCount, at.pass, fitted);
      break;
    }
    case TeachingMode:
      std::fprintf(out_, "Phrase %d of %d, pass %d of %d%s\n", phrase, at.phraseCount, at.pass,
                   at.passCount, Moved(at.semitones).c_str());
      break;
    case SingBackMode:
      std::fprintf(out_, "Phrase %d of %d, try %d of %d%s\n", phrase, at.phraseCount, at.pass,
                   at.passCount, Moved(at.semitones).c_str());
      break;
    case PracticeMode:
      std::fprintf(out_, "Phrase %d of %d, pass %d of %d, %s\n", phrase, at.phraseCount, at.pass,
                   at.passCount, Shift(at.semitones).c_str());
      break;
  }
  std::fflush(out_);
}

std::string CPlayDisplay::LiveLine(int32_t row, const int32_t* notes, int count) const {
  // Offsets in the loaded text: the parser's working copy lines up with it, after a '|'
  // that opened the text and was dropped.
  const int32_t shift = LeadingBarShift(text_);
  const std::optional<TextSpan> phrase = PhraseTextSpan(player_.LoadedScore(), row, shift);
  if (!phrase) return {};
  const size_t begin = static_cast<size_t>(phrase->begin);
  const size_t end = std::min(text_.size(), static_cast<size_t>(phrase->end));
  if (begin >= end) return {};

  // Which bytes of the phrase are marked.
  std::string marked(end - begin, 0);
  size_t firstMark = end - begin;
  for (int i = 0; i < count; ++i) {
    const std::optional<TextSpan> note = NoteTextSpan(player_.LoadedScore(), row, notes[i], shift);
    if (!note) continue;
    const size_t from = static_cast<size_t>(note->begin) - begin;
    const size_t to = std::min(marked.size(), static_cast<size_t>(note->end) - begin);
    for (size_t k = from; k < to; ++k) marked[k] = 1;
    firstMark = std::min(firstMark, from);
  }

  // The phrase as shown: line breaks as spaces, each comment as one space between what
  // stands either side of it (none next to a space or at the phrase's start).
  std::string shown;
  std::string shownMarks;
  size_t firstShown = std::string::npos;
  size_t k = 0;
  for (const CommentSpan& comment : comments_) {
    if (comment.end <= static_cast<int32_t>(begin)) continue;
    if (comment.begin >= static_cast<int32_t>(end)) break;
    const size_t commentFrom = std::max(static_cast<size_t>(comment.begin), begin) - begin;
    ShowBytes(begin, k, commentFrom, marked, firstMark, shown, shownMarks, firstShown);
    if (!shown.empty() && shown.back() != ' ') {
      shown += ' ';
      shownMarks += '\0';
    }
    k = std::min(end, static_cast<size_t>(comment.end)) - begin;
  }
  ShowBytes(begin, k, end - begin, marked, firstMark, shown, shownMarks, firstShown);
  if (firstShown == std::string::npos) firstShown = shown.size();

  // Cut a long phrase to the width around the first marked note, with "…" at a cut.
  const size_t room = static_cast<size_t>(std::max(width_ - 2, 10));
  size_t from = 0;
  size_t to = shown.size();
  if (to > room) {
    from = firstShown > room / 3 ? firstShown - room / 3 : 0;
    to = std::min(shown.size(), from + room);
    from = to - std::min(room, to);
  }
  std::string line = from > 0 ? "…" : "";
  bool on = false;
  for (size_t at = from; at < to; ++at) {
    if (shownMarks[at] && !on) line += kMarkOn;
    if (!shownMarks[at] && on) line += kMarkOff;
    on = shownMarks[at] != 0;
    line += shown[at];
  }
  if (on) line += kMarkOff;
  if (to < shown.size()) line += "…";
  return line;
}

void CPlayDisplay::ShowBytes(size_t begin, size_t from, size_t to, const std::string& marked,
                             size_t firstMark, std::string& shown, std::string& shownMarks,
                             size_t& firstShown) const {
  for (size_t k = from; k < to; ++k) {
    if (k == firstMark) firstShown = shown.size();
    const char c = text_[begin + k];
    shown += c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
    shownMarks += marked[k];
  }
}
