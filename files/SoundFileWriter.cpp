#include "files/WavFileWriter.h"

#include <sndfile.h>

CWavFileWriter::~CWavFileWriter() { Discard(); }

bool CWavFileWriter::Open(const std::string& path, int sampleRate, int channels) {
  Discard();
  if (!file_.Open(path)) {
    error_ = file_.error();
    return false;
  }
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  // The descriptor stays the replacing file's to close.
  sound_ = sf_open_fd(file_.fd(), SFM_WRITE, &info, 0);
  if (sound_ == nullptr) {
    error_ = sf_strerror(nullptr);
    file_.Discard();
    return false;
  }
  channels_ = channels;
  return true;
}

bool CWavFileWriter::Write(const int16_t* interleaved, int64_t frames) {
  if (sound_ == nullptr) return false;
  if (sf_writef_short(sound_, interleaved, frames) != frames) {
    error_ = sf_strerror(sound_);
    return false;
  }
  return true;
}

bool CWavFileWriter::Commit() {
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
    error_ = file_.error();
    return false;
  }
  return true;
}

void CWavFileWriter::Discard() {
  if (sound_ != nullptr) sf_close(sound_);
  sound_ = nullptr;
  file_.Discard();
}
