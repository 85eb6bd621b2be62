#include "app/PathText.h"

#include <QByteArray>
#include <QFile>

std::string ToPath(const QString &text)
{
    return QFile::encodeName(text).toStdString();
}

QString FromPath(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}
