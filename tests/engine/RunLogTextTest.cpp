#include "tests/common/QvlTestMain.h"
#include "engine/RunLogText.h"

#include <QLocale>
#include <QtTest/QtTest>

class RunLogTextTest : public QObject
{
    Q_OBJECT

private slots:
    void numberAndTimeFormats()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(FormatCount(1234567), std::string("1,234,567"));
        QCOMPARE(FormatCount(0), std::string("0"));
        QCOMPARE(FormatCount(5368709120.0), std::string("5,368,709,120"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(FormatCount(1234), std::string("1.234"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(FormatElapsed(0), std::string("00:00:00:000"));
        QCOMPARE(FormatElapsed(90061001), std::string("25:01:01:001"));
        QCOMPARE(FormatElapsed(3599999), std::string("00:59:59:999"));
    }
};

QVL_TEST_CORE_MAIN(RunLogTextTest)
#include "RunLogTextTest.moc"
