#include "engine/RunLogText.h"

#include <QLocale>
#include <QTime>

#include <cstdio>

std::string FormatCount(double value)
{
    return QLocale().toString(static_cast<qlonglong>(value)).toStdString();
}

std::string TimeStamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss")).toStdString();
}

std::string FormatElapsed(std::int64_t ms)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld:%03lld", (long long)(ms / 3600000),
                  (long long)(ms / 60000 % 60), (long long)(ms / 1000 % 60), (long long)(ms % 1000));
    return buf;
}
