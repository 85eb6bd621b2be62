// What `cmake --install` puts on the desktop: the program, its .desktop
// entry, its icon and its AppStream metadata, each checked by the tools the
// desktop itself trusts.
#include "tests/common/QvlTestMain.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

class DesktopIntegrationTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir prefix;

    static QString Run(const QString &program, const QStringList &args, int *exitCode)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(120000)) {
            *exitCode = -1;
            return "did not finish";
        }
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return QString::fromLocal8Bit(p.readAll());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(prefix.isValid());
        int rc = 0;
        const QString out = Run(QVL_CMAKE_COMMAND,
                                {"--install", QVL_BINARY_DIR, "--prefix", prefix.path(), "--component", "quorvel"}, &rc);
        QVERIFY2(rc == 0, qPrintable(out));
    }

    void installsTheProgramAndItsDesktopFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("program") << "bin/quorvel";
        QTest::newRow("desktop entry") << "share/applications/org.quorvel.Quorvel.desktop";
        QTest::newRow("icon") << "share/icons/hicolor/scalable/apps/org.quorvel.Quorvel.svg";
        QTest::newRow("metainfo") << "share/metainfo/org.quorvel.Quorvel.metainfo.xml";
    }

    void installsTheProgramAndItsDesktopFiles()
    {
        QFETCH(QString, file);
        QVERIFY2(QFileInfo(prefix.filePath(file)).isFile(), qPrintable(file));
    }

    void theDesktopEntryIsValid()
    {
        const QString tool = QStandardPaths::findExecutable("desktop-file-validate");
        if (tool.isEmpty())
            QSKIP("desktop-file-validate is not installed (package desktop-file-utils)");
        int rc = 0;
        const QString out = Run(tool, {prefix.filePath("share/applications/org.quorvel.Quorvel.desktop")}, &rc);
        QVERIFY2(rc == 0 && out.trimmed().isEmpty(), qPrintable(out));
    }

    void theMetainfoIsValid()
    {
        const QString tool = QStandardPaths::findExecutable("appstreamcli");
        if (tool.isEmpty())
            QSKIP("appstreamcli is not installed (package appstream)");
        int rc = 0;
        const QString out =
            Run(tool, {"validate", "--no-net", prefix.filePath("share/metainfo/org.quorvel.Quorvel.metainfo.xml")}, &rc);
        QVERIFY2(rc == 0, qPrintable(out));
    }

    void theIconIsAnSvgDrawing()
    {
        QFile file(prefix.filePath("share/icons/hicolor/scalable/apps/org.quorvel.Quorvel.svg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name().toString(), QString("svg"));
        QCOMPARE(xml.attributes().value("viewBox").toString(), QString("0 0 64 64"));
        while (!xml.atEnd())
            xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    }
};

QVL_TEST_CORE_MAIN(DesktopIntegrationTest)
#include "DesktopIntegrationTest.moc"
