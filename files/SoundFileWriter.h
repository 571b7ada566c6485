#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "files/ReplacingFile.h"

typedef struct sf_private_tag SNDFILE;

// The sound files the program writes: 16-bit PCM WAV, FLAC, Ogg Vorbis.
enum class SoundFileFormat { kWav, kFlac, kOggVorbis };

// The format a file's name asks for by its extension (".wav", ".flac", ".ogg" or ".oga", in
// any case); none for any other name.
std::optional<SoundFileFormat> SoundFileFormatFor(const std::string& path);

// A sound file written frame block by frame block through libsndfile. It replaces an existing
// file only when committed, so a failed or cancelled render leaves it as it was.
class CSoundFileWriter {
 public:
  CSoundFileWriter() = default;
  ~CSoundFileWriter();  // discards what was not committed
  CSoundFileWriter(const CSoundFileWriter&) = delete;
  CSoundFileWriter& operator=(const CSoundFileWriter&) = delete;

  // False with error() set when the file cannot be created.
  bool Open(const std::string& path, int sampleRate, int channels,
            SoundFileFormat format = SoundFileFormat::kWav);
  // Appends interleaved 16-bit frames; false with error() set when they cannot be written.
  bool Write(const int16_t* interleaved, int64_t frames);
  // Finishes the file and puts it in place; false with error() set.
  bool Commit();
  void Discard();

  const std::string& Error() const { return error_; }

 private:
  CReplacingFile file_;
  SNDFILE* sound_ = nullptr;
  int channels_ = 0;
  std::string error_;
};
