// Bytes written as "\xHH" (two hex digits, either case) in a text, as udev
// writes a label's unsafe bytes and the window shows a name's stray ones.
#pragma once

#include <cstddef>
#include <string>

// Whether "\xHH" begins at `i` of `text`.
bool HexEscapeAt(const std::string &text, std::size_t i);

// `text` with every "\xHH" replaced by its byte; everything else is kept.
std::string DecodeHexEscapes(const std::string &text);
