// Text for people and for JSON from the library's Shift-JIS: the listing values turned into
// clean UTF-8, and terminal-safe forms of texts that come from files (EXIF items, comments,
// file names), so that a photo cannot move the cursor or change colours on the reader's screen.
#ifndef PHOTOGEO_TOOLS_TEXT_OUT_H
#define PHOTOGEO_TOOLS_TEXT_OUT_H

#include <string>

namespace cli {

// A value of the library's listing (Shift-JIS) as UTF-8: the half-width katakana semi-voiced
// mark that the listing uses as a degree sign after a number becomes "°", and trailing blanks
// (spaces, tabs, NULs) go. Control characters are kept; see TerminalText.
std::string ListedText(const std::string& sjis);

// Trailing blanks removed, then every control character (C0, DEL, and C1 given as UTF-8) shown
// as an escape: \n, \r, \t, else \xHH for a byte and \u00HH for a C1 character.
std::string TerminalText(const std::string& utf8);

}  // namespace cli

#endif
