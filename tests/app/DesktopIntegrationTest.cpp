// What `cmake --install` puts on the desktop: the program, its .desktop
// entry, its icon and its AppStream metadata, each checked by the tools the
// desktop itself trusts.
#include "tests/common/QvlTestMain.h"

#include <QFileInfo>
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
        QTest::newRow("Dolphin service menu") << "share/kio/servicemenus/org.quorvel.Quorvel.servicemenu.desktop";
        QTest::newRow("Nautilus script") << "share/quorvel/nautilus-scripts/Verify Copy with Quorvel";
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

    // A file manager hands the selected folders to the entry's command.
    void fileManagersOpenTwoSelectedFolders()
    {
        const auto text = [&](const char *file) {
            QFile f(prefix.filePath(file));
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        const QStringList entry = text("share/applications/org.quorvel.Quorvel.desktop").split('\n');
        QVERIFY(entry.contains("Exec=quorvel %F"));
        QVERIFY(entry.contains("MimeType=inode/directory;"));
        const QStringList menu = text("share/kio/servicemenus/org.quorvel.Quorvel.servicemenu.desktop").split('\n');
        QVERIFY(menu.contains("Name=Verify Copy with Quorvel"));
        QVERIFY(menu.contains("Exec=quorvel -- %F"));
        QVERIFY(menu.contains("X-KDE-MinNumberOfUrls=2"));
        QVERIFY(QFileInfo(prefix.filePath("share/quorvel/nautilus-scripts/Verify Copy with Quorvel")).isExecutable());
    }

    // The window program's own command line, before any window: --help and
    // --version without a display, anything else it cannot take is a
    // message and exit status 2.
    void windowCommandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("--version") << QStringList {"--version"} << 0
                                   << QStringLiteral("quorvel " QVL_VERSION ".") << QString();
        QTest::newRow("--help") << QStringList {"--help"} << 0
                                << QStringLiteral("Usage: quorvel [--help] [--version] [SOURCE [TARGET]]\n") << QString();
        QTest::newRow("unknown option") << QStringList {"--bogus", "/"} << 2 << QString()
                                        << QStringLiteral("quorvel: unknown option --bogus\nTry 'quorvel --help'.\n");
        QTest::newRow("three paths") << QStringList {"/", "/", "/"} << 2 << QString()
                                     << QStringLiteral("quorvel: expected at most SOURCE and TARGET\n"
                                                       "Try 'quorvel --help'.\n");
    }

    void windowCommandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess p;
        // No display at all: the window program must not need one here.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        p.setProcessEnvironment(env);
        p.start(prefix.filePath("bin/quorvel"), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()), err);
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
