// Reader of config.txt: lines of "[KEY]value" ending in LF or CR LF, read in
// file order and handed to a table of keys owned by each window.
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
// LF is a line, and a CR right before the LF is not part of it; lines
// without a "[" followed later by a "]" are skipped. A 0 byte is a character
// like any other control character: it spoils only the key or value it is in.
std::vector<ConfigEntry> ParseConfigText(std::string_view bytes);

// A configuration file is small; what lies beyond this many bytes is not read.
inline constexpr std::size_t kMaxConfigSize = 16 * 1024 * 1024;

// The file as the windows and the config check all read it: whole, under a
// shared lock, at most kMaxConfigSize bytes.
struct ConfigFileBytes {
  bool found = false;  // something is at the path (it may still be unreadable)
  // Empty when the file was read whole or is absent; otherwise what follows
  // the file's name in a message: "cannot be read: it is a folder", or that
  // only its first part is read.
  std::string trouble;
  bool cut = false;  // longer than kMaxConfigSize; `bytes` holds its start
  std::string bytes;
};
ConfigFileBytes ReadConfigBytes(const std::filesystem::path& path);

// The entries of the file. A missing, unreadable or empty file gives none;
// `trouble`, when given, receives ConfigFileBytes::trouble.
std::vector<ConfigEntry> ReadConfigFile(const std::filesystem::path& path,
                                        std::string* trouble = nullptr);

enum class ConfigKind {
  Number,    // acts only when a "%d" number can be read; gets that number
  Switch,    // always acts; gets the atoi value (0 when not a number)
  Presence,  // always acts; the value is not read
  Text,      // always acts; the value is text its owner takes from the entry
             // (ApplyConfig hands the action 0)
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

// The config.txt both windows read: the one beside the executable when it is
// there (a build tree or a portable copy), else the desktop's place,
// $XDG_CONFIG_HOME/verdelo/config.txt (~/.config/verdelo/config.txt when the
// variable is unset or not an absolute path). The file may not exist.
std::filesystem::path LocateConfigFile();
// The same rule over given places and variables.
std::filesystem::path LocateConfigFile(const std::filesystem::path& besideExecutable,
                                       const char* xdgConfigHome, const char* home);

}  // namespace verdelo
