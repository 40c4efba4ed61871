// Reader of config.txt: lines of "[KEY]value" ending in CR LF, read in file
// order and handed to a table of keys owned by each window.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace verdelo {

struct ConfigEntry {
  std::string key;    // text strictly between the first "[" and the first "]"
  std::string value;  // everything after that "]" (UTF-8)
};

// Splits the file's bytes (Windows-1252) into entries. Only text followed by
// CR LF is a line; the text ends at the first 0 byte; lines without a "["
// followed later by a "]" are skipped.
std::vector<ConfigEntry> ParseConfigText(std::string_view bytes);

// Reads the file whole under a shared lock. A missing, locked or empty file
// gives no entries.
std::vector<ConfigEntry> ReadConfigFile(const std::filesystem::path& path);

enum class ConfigKind {
  Number,    // acts only when a "%d" number can be read; gets that number
  Switch,    // always acts; gets the atoi value (0 when not a number)
  Presence,  // always acts; the value is not read
};

struct ConfigKey {
  std::string name;
  ConfigKind kind;
  std::function<void(int value)> action;
};

// Applies the entries in order: the first key of the table with an exact
// name match acts; keys of no row are ignored.
void ApplyConfig(const std::vector<ConfigEntry>& entries,
                 const std::vector<ConfigKey>& table);

// config.txt in the folder of the running executable.
std::filesystem::path ConfigFileBesideExecutable();

}  // namespace verdelo
