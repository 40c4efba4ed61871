// Helpers for tests that drive real windows: waiting for the event loop to
// bring something about, and a temporary folder of their own.
#pragma once

#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace verdelo::test {

// Runs the event loop for `ms`, sleeping while nothing happens.
inline void RunEvents(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Runs the event loop until `done` holds or `limitMs` passes; returns `done`.
template <typename Done>
bool AwaitEvents(Done done, int limitMs = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() >= limitMs) return done();
    RunEvents(5);
  }
  return true;
}

// Writes the lines, each ended by CR LF, as config.txt files are.
inline void WriteCrLfLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines) out << line << "\r\n";
}

}  // namespace verdelo::test
