// A JSON object written member by member, for the few documents telemetry
// publishes: no reading, no nesting beyond what the caller writes itself.
#pragma once

#include <string>
#include <string_view>

namespace verdelo {

// `text` as a JSON string, quotes included. Bytes from 0x80 up pass as
// they are (the console's texts are UTF-8).
std::string JsonString(std::string_view text);

class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view text);
  JsonObject& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
  JsonObject& Add(std::string_view key, int number);
  // No document holds a flag; deleted so that one is never taken for a number.
  JsonObject& Add(std::string_view key, bool flag) = delete;
  JsonObject& AddNull(std::string_view key);
  // `json` is already JSON (an object or an array).
  JsonObject& AddRaw(std::string_view key, std::string_view json);
  std::string Text() const { return text_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

}  // namespace verdelo
