#pragma once
// Builds one JSON object on one line, fields in the order added. The line is valid UTF-8 and valid
// JSON whatever bytes the strings hold.

#include <string>
#include <string_view>
#include <vector>

class JsonObject {
  public:
    JsonObject& Add(std::string_view key, std::string_view value);
    JsonObject& Add(std::string_view key, long long value);
    JsonObject& Add(std::string_view key, const std::vector<std::string>& values);
    std::string Text() const { return body + "}"; }

  private:
    void Key(std::string_view key);
    std::string body = "{";
};

// `text` as a JSON string literal, quotes included; bytes that are no UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);
