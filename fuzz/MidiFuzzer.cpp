// Feeds arbitrary bytes to the MIDI and karaoke reader as a Standard MIDI File.
#include "fuzz/ImporterFuzz.h"
#include "importers/MidiFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzzing::FuzzImporter(data, size, &importers::ImportMidi, &importers::ListMidi);
}
