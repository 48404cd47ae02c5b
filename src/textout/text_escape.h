// Text in the forms that outputs need: upper-case hex digits, a line that a terminal shows as it
// is, a JSON string, an RFC 4180 CSV field, a Graphviz string and Markdown code in a table cell.
// The last four take bytes that are meant to be UTF-8
// (file names are whatever the system gave) and write valid UTF-8: a byte that is not part of a
// well-formed sequence becomes U+FFFD.
#ifndef OPFREQ_TEXTOUT_TEXT_ESCAPE_H_
#define OPFREQ_TEXTOUT_TEXT_ESCAPE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace opfreq {

// `value` in upper-case hex digits, with zeros in front up to `digits`.
std::string hexDigits(uint64_t value, int digits);

// `text` with blanks in front up to `width` characters: right-aligned in a column.
std::string rightAligned(std::string_view text, size_t width);

// `text` with every control byte (below 20h, and 7Fh) shown as '?': a name from a file or the
// command line cannot then end a line or send an escape sequence to a terminal.
std::string printable(std::string_view text);

// `text` with every ill-formed UTF-8 sequence replaced by U+FFFD.
std::string validUtf8(std::string_view text);

// Appends `text` as a JSON string, quotes included.
void appendJsonString(std::string& out, std::string_view text);

// Appends `text` as one CSV field: in double quotes, with quotes doubled, when it holds a
// comma, a quote, CR or LF; as it is otherwise.
void appendCsvField(std::string& out, std::string_view text);

// Appends `text` as a string of Graphviz's dot language, quotes included; control bytes as '?'.
void appendDotString(std::string& out, std::string_view text);

// Appends `text` as code in a cell of a GitHub Markdown table, so that nothing in it is read as
// Markdown: in backticks (two, when it holds one), a '|' escaped, control bytes as '?'.
void appendMarkdownCode(std::string& out, std::string_view text);

}  // namespace opfreq

#endif  // OPFREQ_TEXTOUT_TEXT_ESCAPE_H_
