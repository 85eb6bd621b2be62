#include "engine/ChecksumFile.h"

#include "platform/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

// Far beyond any line made for a real path (PATH_MAX, every byte escaped,
// and the longest hash), and short enough to give up on a binary file soon.
constexpr std::size_t kLongestLine = 16384;
// With this many lines read and none usable, the file is not a checksum
// file; there is no need to read a large one to its end to say so.
constexpr std::size_t kGiveUpAfter = 200;

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string LowerHex(const std::string &hex)
{
    std::string out = hex;
    for (char &c : out) {
        if (c >= 'A' && c <= 'F')
            c = char(c - 'A' + 'a');
    }
    return out;
}

bool Unescape(const std::string &text, std::string &out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

// The path as it is opened below the folder checked: "./" in front dropped;
// false for a path that could lead anywhere else.
bool UsablePath(std::string &path, std::string &reason)
{
    if (path.empty()) {
        reason = "no file name";
        return false;
    }
    if (path[0] == '/') {
        reason = "an absolute path is never opened";
        return false;
    }
    while (path.size() > 2 && path.compare(0, 2, "./") == 0)
        path.erase(0, 2);
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (path.compare(start, end - start, "..") == 0) {
            reason = "a path with '..' is never opened";
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool ParseBsd(const std::string &text, TChecksumEntry &entry, std::string &name, std::string &reason)
{
    const std::size_t open = text.find(" (");
    const std::size_t close = text.rfind(") = ");
    if (open == std::string::npos || close == std::string::npos || close < open + 2) {
        reason = "not a checksum line";
        return false;
    }
    const std::string tag = text.substr(0, open);
    if (!DigestKindOfTag(tag, entry.kind)) {
        reason = "no digest this program knows: " + tag;
        return false;
    }
    const std::string hash = text.substr(close + 4);
    if (hash.size() != DigestHexLength(entry.kind) || !std::all_of(hash.begin(), hash.end(), IsHex)) {
        reason = "not a " + tag + " hash";
        return false;
    }
    entry.hash = LowerHex(hash);
    name = text.substr(open + 2, close - open - 2);
    return true;
}

bool ParseGnu(const std::string &text, TChecksumEntry &entry, std::string &name, std::string &reason)
{
    std::size_t n = 0;
    while (n < text.size() && IsHex(text[n]))
        ++n;
    if (n + 2 > text.size() || text[n] != ' ' || (text[n + 1] != ' ' && text[n + 1] != '*') ||
        !DigestKindOfLength(n, entry.kind)) {
        reason = "not a checksum line";
        return false;
    }
    entry.hash = LowerHex(text.substr(0, n));
    name = text.substr(n + 2);
    return true;
}

} // namespace

std::string ChecksumLine(const std::string &hex, const std::string &path)
{
    if (path.find_first_of("\\\n\r") == std::string::npos)
        return hex + "  " + path;
    std::string out = "\\" + hex + "  ";
    for (char c : path) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool IsChecksumComment(const std::string &text)
{
    return text.empty() || text[0] == '#' || text.find_first_not_of(" \t") == std::string::npos;
}

bool ParseChecksumLine(const std::string &line, TChecksumEntry &entry, std::string &reason)
{
    std::string text = line;
    // Written on a machine whose lines end in CR LF: an escaped name never
    // holds a raw CR.
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    const bool escaped = !text.empty() && text[0] == '\\';
    if (escaped)
        text.erase(0, 1);
    std::string name;
    const bool gnu = !text.empty() && IsHex(text[0]) && text.find(' ') != std::string::npos &&
                     std::all_of(text.begin(), text.begin() + std::ptrdiff_t(text.find(' ')), IsHex);
    if (gnu ? !ParseGnu(text, entry, name, reason) : !ParseBsd(text, entry, name, reason))
        return false;
    if (escaped && !Unescape(name, entry.path)) {
        reason = "a name with an unknown escape";
        return false;
    }
    if (!escaped)
        entry.path = name;
    return UsablePath(entry.path, reason);
}

bool ReadChecksumFile(const std::string &path, TChecksumList &list, std::string &error)
{
    list = {};
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "it cannot be read (" + file.errorString().toStdString() + ")";
        return false;
    }
    if (QFileInfo(file).isDir()) {
        error = "it is a folder";
        return false;
    }
    std::string pending;
    std::size_t lineNo = 0, usedOrNot = 0;
    bool any = false;
    const auto take = [&](const std::string &text) {
        ++lineNo;
        if (IsChecksumComment(text))
            return;
        ++usedOrNot;
        TChecksumEntry entry;
        std::string reason;
        if (ParseChecksumLine(text, entry, reason)) {
            entry.line = lineNo;
            list.entries.push_back(std::move(entry));
        } else {
            list.problems.push_back({lineNo, reason});
        }
    };
    char buf[65536];
    for (;;) {
        const qint64 n = file.read(buf, sizeof buf);
        if (n < 0) {
            error = "it cannot be read (" + file.errorString().toStdString() + ")";
            return false;
        }
        if (n == 0)
            break;
        any = true;
        const std::string chunk(buf, std::size_t(n));
        if (chunk.find('\0') != std::string::npos) {
            error = "it holds binary data";
            return false;
        }
        std::size_t start = 0;
        for (std::size_t nl; (nl = chunk.find('\n', start)) != std::string::npos; start = nl + 1) {
            pending.append(chunk, start, nl - start);
            if (pending.size() > kLongestLine)
                break;
            take(pending);
            pending.clear();
        }
        if (pending.size() <= kLongestLine)
            pending.append(chunk, start, std::string::npos);
        if (pending.size() > kLongestLine) {
            error = "its line " + std::to_string(lineNo + 1) + " is longer than any checksum line";
            return false;
        }
        if (list.entries.empty() && usedOrNot >= kGiveUpAfter)
            break;
    }
    if (!pending.empty())
        take(pending);
    if (!any) {
        error = "it is empty";
        return false;
    }
    if (list.entries.empty()) {
        error = "it holds no checksum line (\"HASH  PATH\" or \"SHA256 (PATH) = HASH\")";
        return false;
    }
    return true;
}

std::string DefaultChecksumPath(const std::string &targetPath, const std::string &isoDate)
{
    const std::string folder =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).toStdString() +
        "/quorvel/checksums/";
    std::string name = ExcludeTrailingSlash(targetPath);
    name = name == "/" ? std::string("root") : name.substr(name.rfind('/') + 1);
    const std::string stem = folder + name + "-" + isoDate;
    std::string path = stem + ".sha256";
    for (int n = 2; QFile::exists(QFile::decodeName(QByteArray::fromStdString(path))); ++n)
        path = stem + "-" + std::to_string(n) + ".sha256";
    return path;
}
