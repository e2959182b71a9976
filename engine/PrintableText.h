#pragma once
#include <string>
#include <string_view>

// `raw` with every control character (C0, DEL and the C1 range of Latin-1) written as an escape
// (\n, \r, \t, \xNN), so that text from the server can never break, forge or steer a line.
std::string Printable(std::string_view raw);
