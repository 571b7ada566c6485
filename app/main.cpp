#include "app/CommandLine.h"
#include "app/TunwickApp.h"
#include "notation/Score.h"

int main(int argc, char** argv) {
  SetProgramPath(argv[0]);
  // With arguments the program answers on the command line, without a window.
  if (argc > 1) return RunCommandLine(argc, argv);
  return theApp.InitInstance(argc, argv);
}
