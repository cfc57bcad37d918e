// The INI file format of the Windows profile functions, for the POSIX
// layer: a document parsed from a file's bytes and written back (no I/O),
// and how GetPrivateProfileStringW and GetPrivateProfileIntW make their
// results of a stored value. ProfileStore (profile_file.h) keeps the files.
//
// Reading, as Windows does it: section and key names match without regard to
// case and with white space around them ignored; only the first section of a
// name and the first key of a name in it count; lines starting with ';' are
// comments; a line splits at its first '='; white space around names and
// values is dropped and one pair of matching quotes (" or ') around a value
// is removed; a ';' after a value belongs to the value. Files in UTF-8 (with
// or without BOM), UTF-16LE and UTF-16BE (each with BOM) are read; bytes
// that are not UTF-8 read as U+FFFD but are written back unchanged.
//
// Where this differs from Windows on purpose:
// - A new file is UTF-8 without BOM with CRLF line ends (Windows writes the
//   ANSI code page); a BOM-less file is read as UTF-8, not as ANSI.
// - A value that would not read back unchanged (white space at either end,
//   or a matching pair of quotes around it) is written in double quotes, so
//   it reads back as written; Windows writes it bare and reads it back
//   trimmed and unquoted.
// - A write is refused (false, file unchanged) when the value or a name holds
//   a line break or NUL, a key holds '=' or starts with ';' or '[', or text is
//   not valid Unicode: Windows would write a file that reads back otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tav::posix {

enum class ProfileEncoding { kUtf8, kUtf8Bom, kUtf16Le, kUtf16Be };

// What ProfileDocument::Set did.
enum class ProfileChange { kRefused, kUnchanged, kChanged };

// One INI file in memory, kept as its lines with their original bytes: a
// change rewrites only the line it touches, everything else is written back
// byte for byte.
class ProfileDocument {
 public:
  // An empty document for a file that does not exist yet.
  ProfileDocument();
  static ProfileDocument Parse(std::string_view bytes);

  ProfileEncoding encoding() const { return encoding_; }
  // The value of the first `key` in the first `section`, as stored (white
  // space dropped, quotes kept); null when there is none.
  const std::wstring* Find(std::wstring_view section, std::wstring_view key) const;
  // Replaces the value of an existing key in place, or adds the key at the
  // end of its section, or adds the section at the end of the file.
  ProfileChange Set(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  // What Set would do with the same arguments, the document left as it is.
  ProfileChange WouldChange(std::wstring_view section, std::wstring_view key,
                            std::wstring_view value) const;
  std::string Serialize() const;

 private:
  enum class LineKind { kBlank, kComment, kSection, kKey, kOther };
  struct Line {
    std::string Raw;            // bytes of the line without its end
    std::string End;            // "\r\n", "\n", "\r" in the file's encoding, or empty
    LineKind Kind = LineKind::kBlank;
    std::wstring Name;          // section or key name
    std::wstring Value;         // key value
    size_t RawValueStart = 0;   // offset in `raw` just after the '='
  };

  void ParseLine(Line& line) const;
  std::wstring Decode(std::string_view bytes) const;
  std::string Encode(std::wstring_view text) const;
  std::string NewLine() const;
  // Index of the header of the first section named `section`, or -1.
  long FindSection(std::wstring_view section) const;
  long FindKey(long sectionLine, std::wstring_view key) const;

  ProfileEncoding encoding_ = ProfileEncoding::kUtf8;
  std::vector<Line> lines_;
  std::string newLine_;  // the first line end of the file, in its encoding
  std::string oddByte_;  // an odd last byte of a UTF-16 file, kept at the end
};

// GetPrivateProfileStringW's result for a stored value (or, when null, the
// default): a default loses its trailing blanks, one pair of matching quotes
// is removed, and the text is cut to `bufferChars - 1` UTF-16 units.
std::wstring ProfileResultText(const std::wstring* stored, std::wstring_view defaultValue,
                               size_t bufferChars);

// The number GetPrivateProfileIntW makes of a value's text
// (RtlUnicodeStringToInteger with base 0): leading white space, an optional
// sign, "0x"/"0o"/"0b" for base 16/8/2, then digits up to the first other
// character; wraps modulo 2^32. Text without digits gives 0.
uint32_t ProfileTextToInteger(std::wstring_view text);

}  // namespace tav::posix
