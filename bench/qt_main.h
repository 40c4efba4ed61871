// The main() of a measuring program that needs a Qt application: offscreen
// unless told otherwise, and Qt sees none of the program's own options.
#pragma once

#include <stdlib.h>

#include <QApplication>

#include "bench/bench_util.h"

namespace verdelo::bench {

inline int RunQtMode(int argc, char** argv, const char* program, std::initializer_list<Mode> modes) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  app.setQuitOnLastWindowClosed(false);
  return RunMode(argc, argv, program, modes);
}

}  // namespace verdelo::bench
