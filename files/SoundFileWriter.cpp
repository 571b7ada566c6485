#include "files/SoundFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>

std::optional<SoundFileFormat> SoundFileFormatFor(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return std::nullopt;
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == "wav") return SoundFileFormat::kWav;
  if (extension == "flac") return SoundFileFormat::kFlac;
  if (extension == "ogg" || extension == "oga") return SoundFileFormat::kOggVorbis;
  return std::nullopt;
}

namespace {

int SndfileFormat(SoundFileFormat format) {
  switch (format) {
    case SoundFileFormat::kFlac:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case SoundFileFormat::kOggVorbis:
      return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case SoundFileFormat::kWav:
      break;
  }
  return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

}  // namespace

CSoundFileWriter::~CSoundFileWriter() { Discard(); }

bool CSoundFileWriter::Open(const std::string& path, int sampleRate, int channels,
                            SoundFileFormat format) {
  Discard();
  if (!file_.Open(path)) {
    error_ = file_.Error();
    return false;
  }
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SndfileFormat(format);
  // The descriptor stays the replacing file's to close.
  sound_ = sf_open_fd(file_.Fd(), SFM_WRITE, &info, 0);
  if (sound_ == nullptr) {
    error_ = sf_strerror(nullptr);
    file_.Discard();
    return false;
  }
  channels_ = channels;
  return true;
}

bool CSoundFileWriter::Write(const int16_t* interleaved, int64_t frames) {
  if (sound_ == nullptr) return false;
  if (sf_writef_short(sound_, interleaved, frames) != frames) {
    error_ = sf_strerror(sound_);
    return false;
  }
  return true;
}

bool CSoundFileWriter::Commit() {
  if (sound_ == nullptr) return false;
  // Closing writes the final sizes into the header.
  const int closed = sf_close(sound_);
  sound_ = nullptr;
  if (closed != 0) {
    error_ = sf_error_number(closed);
    file_.Discard();
    return false;
  }
  if (!file_.Commit()) {
    error_ = file_.Error();
    return false;
  }
  return true;
}

void CSoundFileWriter::Discard() {
  if (sound_ != nullptr) sf_close(sound_);
  sound_ = nullptr;
  file_.Discard();
}
