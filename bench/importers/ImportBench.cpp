// A song imported whole, as `tunwick import` does it once the file is read: the source parsed,
// the song played out and written as score text. A 300-note MusicXML lead sheet with words, the
// public-domain lead sheet and four-part chorale of the import tests, and the chorale as a MIDI
// file. The goal: under 100 ms for a 300-note song.
#include <benchmark/benchmark.h>

#include <string>

#include "importers/ImporterTable.h"

namespace {

std::string DataFile(const char* name) { return std::string(TUNWICK_IMPORT_DATA_DIR) + "/" + name; }

// 300 notes in 75 bars of 4/4 with a syllable each, every eighth bar a fermata.
std::string LeadSheet300() {
  static const char* const kSteps[] = {"C", "D", "E", "F", "G", "A", "B"};
  std::string xml =
      "<?xml version=\"1.0\"?><score-partwise><work><work-title>Three hundred</work-title>"
      "</work><part-list><score-part id=\"P1\"><part-name>Voice</part-name></score-part>"
      "</part-list><part id=\"P1\">";
  for (int bar = 0; bar < 75; ++bar) {
    xml += "<measure number=\"" + std::to_string(bar + 1) + "\">";
    if (bar == 0)
      xml +=
          "<attributes><divisions>4</divisions><key><fifths>1</fifths></key><time><beats>4"
          "</beats><beat-type>4</beat-type></time></attributes>";
    for (int beat = 0; beat < 4; ++beat) {
      const int n = bar * 4 + beat;
      xml += std::string("<note><pitch><step>") + kSteps[n % 7] + "</step><octave>" +
             std::to_string(4 + (n / 7) % 2) + "</octave></pitch><duration>4</duration>" +
             (beat == 3 && bar % 8 == 7 ? "<notations><fermata/></notations>" : "") +
             "<lyric number=\"1\"><syllabic>" + (beat % 2 == 0 ? "begin" : "end") +
             "</syllabic><text>la" + std::to_string(n) + "</text></lyric></note>";
    }
    xml += "</measure>";
  }
  return xml + "</part></score-partwise>";
}

// `name` chooses the format, as a file's name does.
void RunImport(benchmark::State& state, const std::string& name, const std::string& bytes) {
  const importers::ImportFormat* format = importers::FormatOfPath(name);
  size_t chars = 0;
  for (auto _ : state) {
    const importers::WrittenScore written =
        importers::WriteScoreText(format->import(bytes, {}), {});
    chars = written.text.size();
    benchmark::DoNotOptimize(chars);
  }
  state.counters["chars"] = static_cast<double>(chars);
}

void RunFile(benchmark::State& state, const char* name) {
  RunImport(state, name, importers::ReadSourceFile(DataFile(name)));
}

void BM_ImportMusicXml_LeadSheet300(benchmark::State& state) {
  RunImport(state, "lead-sheet.musicxml", LeadSheet300());
}
void BM_ImportMusicXml_FosterLeadSheet(benchmark::State& state) {
  RunFile(state, "foster-jeanie.musicxml");
}
void BM_ImportMxl_BachChorale(benchmark::State& state) { RunFile(state, "bwv10.7.mxl"); }
void BM_ImportMidi_BachChorale(benchmark::State& state) { RunFile(state, "bwv10.7-musescore.mid"); }

}  // namespace

BENCHMARK(BM_ImportMusicXml_LeadSheet300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportMusicXml_FosterLeadSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportMxl_BachChorale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportMidi_BachChorale)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
