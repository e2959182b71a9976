#pragma once
// The wire carries single-byte text (Latin-1): every byte is one character and back. The
// window converts at this one seam.

#include <QString>
#include <string>

// Server bytes as text; never fails, every byte maps to one character.
QString FromWire(const std::string& text);

// The characters of `text` that Latin-1 cannot carry, each once, in order of first use, joined
// by blanks; empty when the whole text can go out unchanged.
QString Unsendable(const QString& text);
