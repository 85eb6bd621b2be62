#include "app/PathText.h"

#include "engine/EscapeControls.h"
#include "platform/HexEscapes.h"

#include <QByteArray>
#include <QFile>

std::string ToPath(const QString &text)
{
    return DecodeHexEscapes(QFile::encodeName(text).toStdString());
}

QString FromPath(const std::string &path)
{
    std::string shown;
    shown.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 0x80) {
            if (HexEscapeAt(path, i))
                PutHex(shown, c);
            else
                shown += char(c);
            ++i;
        } else if (const std::size_t n = Utf8Length(path, i)) {
            shown.append(path, i, n);
            i += n;
        } else {
            PutHex(shown, c);
            ++i;
        }
    }
    return QString::fromUtf8(shown);
}

QString FromText(const std::string &text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}
