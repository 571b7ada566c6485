// Feeds arbitrary bytes to the MusicXML reader, as a plain score or (when they begin as a zip
// archive does) a compressed .mxl one.
#include "fuzz/ImporterFuzz.h"
#include "importers/MusicXmlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzing::FuzzImporter(data, size, &importers::ImportMusicXml, &importers::ListMusicXml);
}
