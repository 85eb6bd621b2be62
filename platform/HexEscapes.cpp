#include "platform/HexEscapes.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool HexEscapeAt(const std::string &text, std::size_t i)
{
    return i + 3 < text.size() && text[i] == '\\' && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0
        && HexDigit(text[i + 3]) >= 0;
}

std::string DecodeHexEscapes(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (HexEscapeAt(text, i)) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
            continue;
        }
        out += text[i];
    }
    return out;
}
