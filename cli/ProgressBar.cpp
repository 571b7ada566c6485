#include "cli/ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace {

constexpr int kBarWidth = 40;

}  // namespace

CProgressBar::CProgressBar(std::FILE* stream, int64_t total)
    : stream_(stream), total_(std::max<int64_t>(total, 1)), terminal_(IsTerminal(stream)) {}

bool CProgressBar::IsTerminal(std::FILE* stream) {
  return stream != nullptr && isatty(fileno(stream)) == 1;
}

void CProgressBar::Update(int64_t done) {
  if (!terminal_) return;
  const int permille = static_cast<int>(std::clamp<int64_t>(done * 1000 / total_, 0, 1000));
  if (permille == shownPermille_) return;
  shownPermille_ = permille;
  Draw(done);
}

void CProgressBar::Draw(int64_t done) {
  const int filled = shownPermille_ * kBarWidth / 1000;
  const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '.');
  std::fprintf(stream_, "\r[%s] %3d.%d%%  %.1f of %.1f s", bar.c_str(), shownPermille_ / 10,
               shownPermille_ % 10, std::min(done, total_) / 1000.0, total_ / 1000.0);
  std::fflush(stream_);
}

void CProgressBar::Finish() {
  if (!terminal_) return;
  shownPermille_ = 1000;
  Draw(total_);
  std::fputc('\n', stream_);
  std::fflush(stream_);
}

void CProgressBar::Clear() {
  if (!terminal_ || shownPermille_ < 0) return;
  std::fprintf(stream_, "\r%*s\r", kBarWidth + 32, "");
  std::fflush(stream_);
}
