#pragma once
// The wire carries single-byte text (Latin-1): every byte is one character and back. The window
// converts at this one seam; the rule for what may be sent is the core's.

#include <QString>
#include <string>

#include "core/WireText.h"

// Server bytes as text; never fails, every byte maps to one character.
QString FromWire(const std::string& text);

// The box that names the characters a text could not carry: printable ones as themselves,
// control characters by their code.
QString UnsendableBox(const WireText& text);
