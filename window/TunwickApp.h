#pragma once

// The application object: starts Qt, runs the main dialog modally until it is closed,
// and ends the program.
class CTunwickApp {
 public:
  // Returns the program's exit status.
  int InitInstance(int& argc, char** argv);
};

extern CTunwickApp theApp;
