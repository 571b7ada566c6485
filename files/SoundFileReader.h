#pragma once

#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

// Reads a sound file of any format libsndfile reads (WAV, FLAC, Ogg, ...) as interleaved
// float frames in [-1, 1], block by block. Closes the file when it goes.
class CSoundFileReader {
 public:
  CSoundFileReader() = default;
  ~CSoundFileReader();
  CSoundFileReader(const CSoundFileReader&) = delete;
  CSoundFileReader& operator=(const CSoundFileReader&) = delete;

  // False, with error() saying why, when the file cannot be opened as sound.
  bool Open(const std::string& path);
  int SampleRate() const { return sampleRate_; }
  int Channels() const { return channels_; }
  int64_t Frames() const { return frames_; }  // as the file's header gives them

  // Reads up to `frames` frames into `interleaved` (room for frames × channels() samples);
  // returns how many were read, 0 at the end or on an error (see Failed).
  int64_t Read(float* interleaved, int64_t frames);
  // Whether a read failed, with error() saying why.
  bool Failed();
  const std::string& Error() const { return error_; }

 private:
  SNDFILE* file_ = nullptr;
  int sampleRate_ = 0;
  int channels_ = 0;
  int64_t frames_ = 0;
  std::string error_;
};
