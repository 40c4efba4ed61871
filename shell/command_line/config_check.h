// Explains a config.txt the way the program reads it: which file, each key
// as understood (its value, or the value used instead and why), unknown
// keys, and lines that are not read.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace verdelo {

struct ConfigReport {
  std::vector<std::string> lines;     // one per key or finding, in file order
  int warnings = 0;                   // lines that point at a problem
  // Timer periods the program brings into range at start; each is also
  // among `lines`.
  std::vector<std::string> correctedPeriods;
};

// The report on a file's bytes.
ConfigReport CheckConfigText(std::string_view bytes);

// The report on the file at `path`, headed by which file was read (or that
// there is none and the defaults hold).
ConfigReport CheckConfigFile(const std::filesystem::path& path);

// What --check-config prints of the file at `path` on standard output, and
// its exit status: 0, or 1 when there is something to warn about.
int PrintConfigCheck(const std::filesystem::path& path);

}  // namespace verdelo
