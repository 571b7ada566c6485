#pragma once

#include <cstdint>
#include <string>

#include "files/ReplacingFile.h"

typedef struct sf_private_tag SNDFILE;

// A 16-bit PCM WAV file written frame block by frame block through libsndfile. It replaces
// an existing file only when committed, so a failed or cancelled render leaves it as it was.
class CWavFileWriter {
 public:
  CWavFileWriter() = default;
  ~CWavFileWriter();  // discards what was not committed
  CWavFileWriter(const CWavFileWriter&) = delete;
  CWavFileWriter& operator=(const CWavFileWriter&) = delete;

  // False with error() set when the file cannot be created.
  bool Open(const std::string& path, int sampleRate, int channels);
  // Appends interleaved frames; false with error() set when they cannot be written.
  bool Write(const int16_t* interleaved, int64_t frames);
  // Finishes the header and puts the file in place; false with error() set.
  bool Commit();
  void Discard();

  const std::string& error() const { return error_; }

 private:
  CReplacingFile file_;
  SNDFILE* sound_ = nullptr;
  int channels_ = 0;
  std::string error_;
};
