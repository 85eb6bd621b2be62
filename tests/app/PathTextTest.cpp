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

    void bytesThatAreNotUtf8()
    {
        const std::string path = "/tmp/caf\xE9";
        const QString text = FromPath(path);
        QVERIFY(text.startsWith(QStringLiteral("/tmp/caf")));
        QEXPECT_FAIL("", "a stray byte shows as U+FFFD and cannot be had back from the text", Continue);
        QCOMPARE(QByteArray::fromStdString(ToPath(text)), QByteArray::fromStdString(path));
    }
};

QVL_TEST_CORE_MAIN(PathTextTest)
#include "PathTextTest.moc"
