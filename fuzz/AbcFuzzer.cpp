// Feeds arbitrary bytes to the ABC reader as a file of tunes: listed, imported and written as
// score text, which must then load as any score does and stay within the score's limits.
#include "fuzz/ImporterFuzz.h"
#include "importers/AbcReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzing::FuzzImporter(data, size, &importers::ImportAbc, &importers::ListAbc);
}
