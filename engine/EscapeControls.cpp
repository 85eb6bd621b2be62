#include "engine/EscapeControls.h"

void PutHex(std::string &out, unsigned char byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

std::size_t Utf8Length(const std::string &s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = at(i);
    std::size_t n;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            low = 0xA0;
        else if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size() || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < n; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    return n;
}

namespace {

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

// The bytes that never stand for themselves in an escaped text: the
// controls, and the backslash that begins every escape.
bool NeedsEscape(unsigned char c)
{
    return IsControl(c) || c == '\\';
}

} // namespace

std::string EscapeControls(const std::string &text, bool invalidUtf8Too)
{
    // Almost every line has nothing to escape: hand it back untouched.
    bool plain = true;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (NeedsEscape(c) || (invalidUtf8Too && c >= 0x80)) {
            plain = false;
            break;
        }
    }
    if (plain)
        return text;

    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 && invalidUtf8Too) {
            if (const std::size_t n = Utf8Length(text, i)) {
                out.append(text, i, n);
                i += n;
            } else {
                PutHex(out, c);
                ++i;
            }
            continue;
        }
        ++i;
        if (!NeedsEscape(c))
            out += char(c);
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            PutHex(out, c);
    }
    return out;
}

bool IsUtf8(const std::string &text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
        } else if (const std::size_t n = Utf8Length(text, i)) {
            i += n;
        } else {
            return false;
        }
    }
    return true;
}
