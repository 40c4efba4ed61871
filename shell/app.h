// The application object: runs the console window; the program ends when it
// closes.
#pragma once

#include <QApplication>

namespace verdelo {

// When the data log reaches the file size limit its write fails; the
// program must not be killed for it. Called first thing in main.
void IgnoreFileSizeSignal();

class CKelvoPCApp : public QApplication {
  Q_OBJECT
 public:
  CKelvoPCApp(int& argc, char** argv);
  // Runs the console window to its end and returns the exit code.
  int InitInstance();
};

}  // namespace verdelo
