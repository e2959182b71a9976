#pragma once
// What the server's ban list (the entries of a `/list` answer) can and cannot tell. The server
// bars the address it saw and reports it nowhere else; its list is the only place to learn it.

#include <string>
#include <string_view>
#include <vector>

// "a.b.c.d" with four decimal parts of 0..255 and no leading zeros: the only form this tool
// ever sends back in a `/removeip` by itself.
bool IsDottedIpv4(std::string_view text);

// The entries of `after` that `before` does not hold, each once, in `after`'s order.
std::vector<std::string> NewEntries(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after);

// True when the list text was so long that the server may have left entries out: one datagram
// carries it, so a long list is cut, and an address missing from it may still be banned.
bool ListMayBeCut(const std::vector<std::string>& entries);
