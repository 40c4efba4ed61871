#include "shell/app.h"

int main(int argc, char** argv) {
  verdelo::IgnoreFileSizeSignal();
  verdelo::CKelvoPCApp app(argc, argv);
  return app.InitInstance();
}
