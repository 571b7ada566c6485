#include "cli/CommandLine.h"
#include "window/TunwickApp.h"

int main(int argc, char** argv) {
  // With arguments the program answers on the command line, without a window.
  if (argc > 1) return RunCommandLine(argc, argv);
  return theApp.InitInstance(argc, argv);
}
