#include "textout/text_escape.h"

#include <algorithm>

namespace opfreq {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 if there is none.
size_t sequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80;   // the second byte's range, narrowed against overlong forms, surrogates
  uint8_t high = 0xBF;  // and code points past U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string hexDigits(uint64_t value, int digits) {
  // Right to left into a buffer, then one string: views write thousands of addresses.
  constexpr char kDigits[] = "0123456789ABCDEF";
  char text[64];
  char* first = text + sizeof text;
  do {
    *--first = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0 || text + sizeof text - first < digits);
  return std::string(first, text + sizeof text);
}

std::string rightAligned(std::string_view text, size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + std::string(text);
}

std::string printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if (static_cast<uint8_t>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return shown;
}

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const size_t length = sequenceLength(text);
    out += length == 0 ? kReplacement : text.substr(0, length);
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return out;
}

void appendJsonString(std::string& out, std::string_view text) {
  constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  // Most text is printable ASCII without quotes: it goes as it is.
  if (std::all_of(text.begin(), text.end(),
                  [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; })) {
    out += text;
    out += '"';
    return;
  }
  for (const char c : validUtf8(text)) {
    const auto byte = static_cast<uint8_t>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

void appendDotString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : validUtf8(printable(text))) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

void appendMarkdownCode(std::string& out, std::string_view text) {
  const std::string valid = validUtf8(printable(text));
  const std::string_view ticks = valid.find('`') == std::string::npos ? "`" : "`` ";
  out += ticks;
  for (const char c : valid) {
    if (c == '|') out += '\\';
    out += c;
  }
  out += ticks == "`" ? "`" : " ``";
}

void appendCsvField(std::string& out, std::string_view text) {
  const std::string valid = validUtf8(text);
  if (valid.find_first_of(",\"\r\n") == std::string::npos) {
    out += valid;
    return;
  }
  out += '"';
  for (const char c : valid) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace opfreq
