#include "importers/ImporterTable.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "importers/AbcReader.h"
#include "importers/MidiFileReader.h"
#include "importers/MusicXmlReader.h"

namespace importers {

const std::vector<ImportFormat>& ImportFormats() {
  static const std::vector<ImportFormat> kFormats = {
      {"ABC", {".abc"}, &ImportAbc, &ListAbc},
      {"MusicXML", {".musicxml", ".xml", ".mxl"}, &ImportMusicXml, &ListMusicXml},
      {"MIDI", {".mid", ".midi", ".kar"}, &ImportMidi, &ListMidi},
  };
  return kFormats;
}

const ImportFormat* FormatOfPath(const std::string& path) {
  std::string lower = path;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const ImportFormat& format : ImportFormats())
    for (const std::string& suffix : format.suffixes)
      if (lower.size() > suffix.size() &&
          lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0)
        return &format;
  return nullptr;
}

std::string KnownSuffixes() {
  std::string known;
  for (const ImportFormat& format : ImportFormats())
    for (const std::string& suffix : format.suffixes) known += (known.empty() ? "" : ", ") + suffix;
  return known;
}

std::string ReadSourceFile(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) throw ImportError("cannot open " + path + ": " + std::strerror(errno));
  struct stat status {};
  if (fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode))
    throw ImportError("cannot read " + path + ": it is a folder");
  const std::string tooLarge = path + " is too large to import: over " +
                               std::to_string(kMaxSourceBytes / (1024 * 1024)) + " MB";
  if (static_cast<unsigned long long>(status.st_size) > kMaxSourceBytes)
    throw ImportError(tooLarge);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, got);
    if (bytes.size() > kMaxSourceBytes) throw ImportError(tooLarge);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file.get()))
    throw ImportError("cannot read " + path + ": " + std::strerror(errno));
  return bytes;
}

namespace {

const ImportFormat& FormatOrRefusal(const std::string& path) {
  if (const ImportFormat* format = FormatOfPath(path)) return *format;
  throw ImportError("cannot tell the format of " + path +
                    " from its name (known: " + KnownSuffixes() + ")");
}

}  // namespace

WrittenScore ImportFile(const std::string& path, const ImportOptions& options) {
  const ImportFormat& format = FormatOrRefusal(path);
  const std::string bytes = ReadSourceFile(path);
  return WriteScoreText(format.import(bytes, options), options);
}

std::vector<ImportListing> ListFile(const std::string& path) {
  const ImportFormat& format = FormatOrRefusal(path);
  return format.list(ReadSourceFile(path));
}

}  // namespace importers
