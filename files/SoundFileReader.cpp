#include "files/SoundFileReader.h"

#include <sndfile.h>

CSoundFileReader::~CSoundFileReader() {
  if (file_ != nullptr) sf_close(file_);
}

bool CSoundFileReader::Open(const std::string& path) {
  SF_INFO info{};
  file_ = sf_open(path.c_str(), SFM_READ, &info);
  if (file_ == nullptr) {
    error_ = sf_strerror(nullptr);
    return false;
  }
  sampleRate_ = info.samplerate;
  channels_ = info.channels;
  frames_ = info.frames;
  return true;
}

int64_t CSoundFileReader::Read(float* interleaved, int64_t frames) {
  if (file_ == nullptr || frames <= 0) return 0;
  const sf_count_t got = sf_readf_float(file_, interleaved, frames);
  return got > 0 ? got : 0;
}

bool CSoundFileReader::Failed() {
  if (file_ == nullptr || sf_error(file_) == SF_ERR_NO_ERROR) return false;
  error_ = sf_strerror(file_);
  return true;
}
