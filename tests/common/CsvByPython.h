// Reading a CSV file back with a reader that is not ours: Python's csv
// module, strict, and the file strictly UTF-8.
#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>

#include <string>

namespace QvlTest {

// The records of `file`; empty when Python could not read it.
inline QList<QStringList> CsvByPython(const std::string &file)
{
    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "with open(sys.argv[1], newline='', encoding='utf-8', errors='strict') as f:\n"
                             "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                             QString::fromStdString(file)});
    QList<QStringList> rows;
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        qWarning() << python.readAllStandardError();
        return rows;
    }
    for (const QJsonValue &record : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue &field : record.toArray())
            fields << field.toString();
        rows << fields;
    }
    return rows;
}

} // namespace QvlTest
