#pragma once
// INI files read and written with the rules of the Windows private-profile functions:
// - A line ends at CR LF, LF or a lone CR.
// - Section and key names are compared without letter case, and blanks (spaces, tabs) at their
//   ends do not count, neither in the file nor in the names the caller passes.
// - A value loses the blanks around it, then a pair of matching double or single quotes around it.
// - Lines starting with ';' are comments. Only the first of repeated sections counts, and in it
//   only the first of repeated keys.
// - A UTF-8 byte order mark is no mark here: its bytes belong to the first line, so a section
//   header there is not one.
// A write replaces the value in place, keeping the file's spelling of the key, or appends the key
// after the last key of the section; a new section goes at the end of the file. Every other line
// stays byte for byte, its line end included. New lines end in CR LF, or in LF when the file's
// first line does. A value that reading would change is written inside double quotes.

#include <string>
#include <string_view>

// The value of `key` in `section`, or `fallback` without its trailing blanks when the file,
// section or key is missing or the file cannot be read. Values come back whole.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view fallback, const std::string& path);

// Sets `key` in `section` to `value`, creating the file (owner read/write only) and the section
// as needed. The file is replaced atomically, and a read-only file never. False when it could
// not be written, or when a name would not read back the same or the value holds a line break;
// the file is then unchanged.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);
