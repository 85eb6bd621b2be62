// The window's path conversion: what a box shows and the bytes the engine
// is handed for it.
#include "tests/common/QvlTestMain.h"

#include "app/PathText.h"

class PathTextTest : public QObject
{
    Q_OBJECT
private slots:
    void namesRoundTripAsUtf8_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QStringLiteral("/media/backup/Photos 2024") << QByteArray("/media/backup/Photos 2024");
        QTest::newRow("latin-1 letters") << QStringLiteral("/tmp/caf\u00E9/na\u00EFve")
                                         << QByteArray("/tmp/caf\xC3\xA9/na\xC3\xAFve");
        QTest::newRow("beyond latin-1") << QStringLiteral("/tmp/\u65E5\u672C/\u0416")
                                        << QByteArray("/tmp/\xE6\x97\xA5\xE6\x9C\xAC/\xD0\x96");
        QTest::newRow("outside the basic plane") << QString::fromUtf8("/tmp/\xF0\x9F\x93\xB7.jpg")
                                                 << QByteArray("/tmp/\xF0\x9F\x93\xB7.jpg");
        QTest::newRow("control character") << QStringLiteral("/tmp/a\nb") << QByteArray("/tmp/a\nb");
    }
    void namesRoundTripAsUtf8()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const std::string path = ToPath(text);
        QCOMPARE(QByteArray::fromStdString(path), bytes);
        QCOMPARE(FromPath(path), text);
    }

    // Bytes that are not UTF-8 show escaped and come back exactly, and a
    // backslash that would read as an escape is escaped itself.
    void namesThatAreNotUtf8RoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("latin-1 byte") << QByteArray("/tmp/caf\xE9") << QStringLiteral("/tmp/caf\\xE9");
        QTest::newRow("stray continuation byte") << QByteArray("/tmp/\x80x") << QStringLiteral("/tmp/\\x80x");
        QTest::newRow("cut sequence") << QByteArray("/tmp/\xE6\x97") << QStringLiteral("/tmp/\\xE6\\x97");
        QTest::newRow("overlong slash") << QByteArray("/tmp/\xC0\xAF") << QStringLiteral("/tmp/\\xC0\\xAF");
        QTest::newRow("valid beside stray") << QByteArray("/tmp/\xC3\xA9\xFF") << QStringLiteral("/tmp/\u00E9\\xFF");
        QTest::newRow("backslash reading as an escape")
            << QByteArray("/tmp/a\\x41") << QStringLiteral("/tmp/a\\x5Cx41");
        QTest::newRow("backslash before a stray byte")
            << QByteArray("/tmp/\\\xE9") << QStringLiteral("/tmp/\\\\xE9");
        QTest::newRow("backslash that reads as nothing")
            << QByteArray("/tmp/a\\b\\x4\\xZZ\\") << QStringLiteral("/tmp/a\\b\\x4\\xZZ\\");
    }
    void namesThatAreNotUtf8RoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const std::string path = bytes.toStdString();
        QCOMPARE(FromPath(path), text);
        QCOMPARE(QByteArray::fromStdString(ToPath(FromPath(path))), bytes);
    }

    // A typed escape names its byte, in either case.
    void typedEscapesNameTheirBytes()
    {
        QCOMPARE(QByteArray::fromStdString(ToPath(QStringLiteral("/tmp/caf\\xe9/\\x41"))),
                 QByteArray("/tmp/caf\xE9/A"));
    }
};

QVL_TEST_CORE_MAIN(PathTextTest)
#include "PathTextTest.moc"
