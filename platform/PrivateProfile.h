#pragma once
// INI files read and written with the rules of the Windows private-profile functions:
// section and key names compared without letter case; blanks around keys, '=' and values
// ignored; a value in matching double or single quotes read without them; ';' lines are
// comments; the first of repeated keys wins. A write replaces the value in place or appends the
// key at the end of its section; a new section goes at the end of the file; everything else in
// the file survives. Lines are written with CR LF; LF-only files read as well.

#include <string>
#include <string_view>

// The value of `key` in `section`, or `fallback` when the file, section or key is missing or
// the file cannot be read. Values come back whole.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view fallback, const std::string& path);

// Sets `key` in `section` to `value`, creating the file (owner read/write only) and the section
// as needed. The file is replaced atomically. False when it could not be written; the file is
// then unchanged.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);
