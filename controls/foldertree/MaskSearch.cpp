#include "controls/foldertree/MaskSearch.h"

#include <QFile>
#include <QString>

#include <algorithm>

namespace {

// Names and patterns are matched as characters, not bytes, after the same
// lower-casing on both sides.
std::u32string Lowered(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text)).toLower().toStdU32String();
}

std::string ToBytes(const std::u32string &text)
{
    return QFile::encodeName(QString::fromStdU32String(text)).toStdString();
}

bool Matches(const std::u32string &name, const std::u32string &pattern)
{
    if (pattern == U"*")
        return true;
    if (pattern == U"*.*" && name.find(U'.') != std::u32string::npos)
        return true;
    if (pattern.find_first_of(U"*?") == std::u32string::npos && pattern == name)
        return true;
    if (pattern.empty())
        return false;

    std::vector<std::u32string> tokens;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] == U'*' || pattern[i] == U'?') {
            tokens.emplace_back(1, pattern[i++]);
            continue;
        }
        const std::size_t end = std::min(pattern.find_first_of(U"*?", i), pattern.size());
        tokens.push_back(pattern.substr(i, end - i));
        i = end;
    }

    // p counts characters from 1, as the matcher's contract is written.
    const std::size_t length = name.size();
    std::size_t p = 1;
    bool star = false;
    for (std::size_t t = 0; t < tokens.size(); ++t) {
        const std::u32string &token = tokens[t];
        if (token == U"?") {
            if (++p > length + 1)
                return false;
        } else if (token == U"*") {
            star = true;
        } else if (!star) {
            if (p - 1 > length || name.compare(p - 1, token.size(), token) != 0 || p - 1 + token.size() > length)
                return false;
            p += token.size();
        } else if (t + 1 == tokens.size()) {
            const std::size_t remainder = length + 1 - std::min(p, length + 1);
            if (remainder >= token.size() && name.compare(length - token.size(), token.size(), token) == 0)
                p = length + 1;
            else
                p = length;
            star = false;
        } else {
            const std::size_t at = p - 1 <= length ? name.find(token, p - 1) : std::u32string::npos;
            if (at == std::u32string::npos)
                return false;
            p = at + token.size() + 1;
            star = false;
        }
    }
    return star || p == length + 1;
}

} // namespace

void BuildMask(const std::string &maskText, TMaskList &list)
{
    list.clear();
    if (maskText.empty()) {
        list.push_back("*");
        return;
    }
    std::string text = maskText;
    if (text.back() != ';')
        text += ';';
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t semi = text.find(';', start);
        list.push_back(ToBytes(Lowered(text.substr(start, semi - start))));
        start = semi + 1;
    }
    // Sorted once built; duplicates met while building stay (the order of
    // the patterns does not change any outcome).
    std::sort(list.begin(), list.end());
}

bool MaskMatches(const std::string &name, const std::string &pattern)
{
    return Matches(Lowered(name), Lowered(pattern));
}

bool FileMatches(const std::string &name, const TMaskList *list)
{
    if (!list || list->empty())
        return true;
    std::u32string lowered = Lowered(name);
    if (lowered.find(U'.') == std::u32string::npos)
        lowered += U'.';
    for (const std::string &pattern : *list)
        if (Matches(lowered, Lowered(pattern)))
            return true;
    return false;
}
