// quorvel-verify --checksums and --check, as real processes on real files,
// held against sha256sum and its siblings run on the same files.
#include "tests/cli/CliOutput.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QStringList lines; // stdout lines, stamps removed from run-log lines
    QString err;
};

QString Q(const std::string &s)
{
    return QFile::decodeName(QByteArray::fromStdString(s));
}

QString Program()
{
    return QvlTest::VerifierProgram();
}

QStringList Unstamped(const QByteArray &text)
{
    return QvlTest::UnstampedLines(text);
}

void Prepare(QProcess &p, const QString &program, const QStringList &args, const std::string &folder)
{
    p.setProgram(program);
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    if (!folder.empty())
        p.setWorkingDirectory(Q(folder));
    p.setChildProcessModifier([] { ::setsid(); }); // no terminal to ask on
}

Result Finished(QProcess &p)
{
    Result r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.lines = Unstamped(r.out);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// `program` (quorvel-verify unless told) in `folder` (the test's own unless
// told).
Result Run(const QStringList &args, const std::string &folder = {}, const QString &program = Program())
{
    QProcess p;
    Prepare(p, program, program == Program() ? QStringList {"--no-progress"} + args : args, folder);
    p.start();
    return Finished(p);
}

// A file with a name of any bytes (QFile would take a name as text).
bool WriteRaw(const std::string &path, const QByteArray &data)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), std::size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}

QByteArray Bytes(int size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(seed + i * 7 + i / 251);
    return data;
}

// Names a checksum line must carry unharmed; each file is made on both
// sides, with contents of its own.
const std::vector<std::string> &OddNames()
{
    static const std::vector<std::string> names = {
        "plain.txt",           "with space.jpg", "new\nline",  "back\\slash", "carriage\rreturn",
        "caf\xe9-latin1.txt",  "sub/deeper/a",   "sub/b  two", "empty",       "sub/large.bin",
    };
    return names;
}

bool MakeOddPairs(const TempTree &t)
{
    int seed = 0;
    for (const std::string &name : OddNames()) {
        QByteArray data = name == "empty" ? QByteArray() : Bytes(name == "sub/large.bin" ? 3'000'000 : 1000 + seed, char(seed));
        ++seed;
        for (const char *side : {"src/", "dst/"}) {
            const std::string path = t.path(side + name);
            QDir().mkpath(Q(path.substr(0, path.rfind('/'))));
            if (!WriteRaw(path, data))
                return false;
        }
    }
    return true;
}

QStringList LinesStartingWith(const QStringList &lines, const QString &start)
{
    QStringList out;
    for (const QString &l : lines)
        if (l.startsWith(start))
            out << l;
    return out;
}

QByteArray ReadAll(const std::string &path)
{
    QFile f(Q(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class CliChecksumsTest : public QObject
{
    Q_OBJECT

private slots:
    // The file a verify records is one sha256sum -c --strict accepts in the
    // Target, whatever the names hold; its comments say what it proves and
    // the summary names it.
    void recordedFilePassesSha256sum()
    {
        TempTree t;
        QVERIFY(MakeOddPairs(t));
        QVERIFY(t.createFile("src/differs", "one"));
        QVERIFY(t.createFile("dst/differs", "two"));
        QVERIFY(t.createFile("src/only-in-source", "x"));
        const std::string sums = t.path("proof.sha256");
        const Result r = Run({"--checksums", Q(sums), Q(t.path("src")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.lines.contains("Checksums of 10 matching files saved - " + Q(sums)));

        const QByteArray file = ReadAll(sums);
        QVERIFY(file.startsWith("# SHA-256 of the files Quorvel "));
        QVERIFY(file.contains("\n# Source: " + QByteArray::fromStdString(t.path("src")) + "\n"));
        QVERIFY(file.contains("\n# Target: " + QByteArray::fromStdString(t.path("dst")) + "\n"));
        QVERIFY(file.contains("\n# Date: "));
        QVERIFY(file.contains("(not --from-disk)"));
        // Only proven pairs are recorded.
        QVERIFY(!file.contains("differs"));
        QVERIFY(!file.contains("only-in-source"));

        const Result check = Run({"-c", "--strict", Q(sums)}, t.path("dst"), "sha256sum");
        QCOMPARE(check.exitCode, 0);
        QCOMPARE(check.out.count(": OK\n"), qsizetype(OddNames().size()));
        QVERIFY(check.err.isEmpty());
    }

    // Two files: the line names the Target file, which sha256sum finds beside
    // it.
    void singleFileRunRecordsTheTargetsName()
    {
        TempTree t;
        QVERIFY(t.createFile("a/photo.jpg", Bytes(5000, 3)));
        QVERIFY(t.createFile("b/copy of photo.jpg", Bytes(5000, 3)));
        const std::string sums = t.path("one.sha256");
        const Result r = Run({"--checksums", Q(sums), Q(t.path("a/photo.jpg")), Q(t.path("b/copy of photo.jpg"))});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(ReadAll(sums).contains("  copy of photo.jpg\n"));
        QCOMPARE(Run({"-c", "--strict", Q(sums)}, t.path("b"), "sha256sum").exitCode, 0);
    }

    // Years later: one file damaged, one lost, one added. The check names
    // exactly the damaged and the lost one, and sha256sum says the same.
    void checkFindsDamagedAndMissingFiles()
    {
        TempTree t;
        QVERIFY(MakeOddPairs(t));
        const std::string sums = t.path("proof.sha256");
        QCOMPARE(Run({"--checksums", Q(sums), Q(t.path("src")), Q(t.path("dst"))}).exitCode, 0);
        // Same size, one byte changed, far into the file: no length to tell.
        {
            QFile f(Q(t.path("dst/sub/large.bin")));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(2'500'000));
            const char c = char(f.peek(1)[0] ^ 1);
            QCOMPARE(f.write(&c, 1), qint64(1));
        }
        QVERIFY(::unlink(t.path("dst/new\nline").c_str()) == 0);
        QVERIFY(t.createFile("dst/added later", "new"));
        const std::string report = t.path("report.csv");

        const Result r = Run({"--report", Q(report), "--check", Q(sums), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 1);
        const QString dst = Q(t.path("dst"));
        QCOMPARE(LinesStartingWith(r.lines, "Files Differ"), QStringList {"Files Differ - " + dst + "/sub/large.bin"});
        QCOMPARE(LinesStartingWith(r.lines, "Target Missing"), QStringList {"Target Missing - " + dst + "/new\\nline"});
        QCOMPARE(LinesStartingWith(r.lines, "Files Match").size(), qsizetype(OddNames().size() - 2));
        QVERIFY(!r.out.contains("added later"));
        QVERIFY(r.lines.contains("Total number of files checked = 10"));
        QVERIFY(r.lines.contains("Total number of matching files = 8"));
        QVERIFY(r.lines.contains("Total number of missing files = 1"));
        QVERIFY(r.lines.contains("Total number of different files = 1"));
        const QByteArray csv = ReadAll(report);
        QVERIFY(csv.contains("differ,," + QByteArray::fromStdString(t.path("dst/sub/large.bin")) + ",3000000,"));
        QVERIFY(csv.contains("target-missing,," + QByteArray::fromStdString(t.path("dst")) + "/new\\nline,"));

        const Result gnu = Run({"-c", Q(sums)}, t.path("dst"), "sha256sum");
        QCOMPARE(gnu.exitCode, 1);
        QCOMPARE(gnu.out.count(": OK\n"), qsizetype(OddNames().size() - 2));
        QVERIFY(gnu.out.contains("sub/large.bin: FAILED\n"));
        QVERIFY(gnu.out.contains("new\\nline: FAILED open or read\n"));
    }

    // What people already have: the files the other tools write, in each of
    // their forms, are read and checked.
    void readsTheFilesOtherToolsWrite_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("sha256sum") << "sha256sum" << QStringList {};
        QTest::newRow("sha256sum, binary mode") << "sha256sum" << QStringList {"-b"};
        QTest::newRow("sha256sum, BSD tags") << "sha256sum" << QStringList {"--tag"};
        QTest::newRow("md5sum") << "md5sum" << QStringList {};
        QTest::newRow("md5sum, BSD tags") << "md5sum" << QStringList {"--tag"};
        QTest::newRow("sha1sum, binary mode") << "sha1sum" << QStringList {"-b"};
        QTest::newRow("sha512sum, BSD tags") << "sha512sum" << QStringList {"--tag"};
    }
    void readsTheFilesOtherToolsWrite()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, options);
        TempTree t;
        QVERIFY(MakeOddPairs(t));
        // The names as `find .` hands them, "./" in front, and as bytes.
        const Result sums = Run(QStringList {"-c", "find . -type f -print0 | sort -z | xargs -0 \"$@\"", "sh", tool} + options,
                                t.path("dst"), "sh");
        QCOMPARE(sums.exitCode, 0);
        QVERIFY(WriteRaw(t.path("other.sums"), sums.out));
        const Result r = Run({"--check", Q(t.path("other.sums")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(LinesStartingWith(r.lines, "Files Match").size(), qsizetype(OddNames().size()));
        QVERIFY(r.lines.contains("Files Match - " + Q(t.path("dst")) + "/carriage\\rreturn"));

        // The same file damaged: every file still read, the damage found.
        QVERIFY(WriteRaw(t.path("dst/plain.txt"), "changed"));
        const Result damaged = Run({"--check", Q(t.path("other.sums")), Q(t.path("dst"))});
        QCOMPARE(damaged.exitCode, 1);
        QCOMPARE(LinesStartingWith(damaged.lines, "Files Differ"),
                 QStringList {"Files Differ - " + Q(t.path("dst/plain.txt"))});
    }

    // A file written elsewhere, with CR LF line ends and capital hex digits.
    void readsLinesEndedWithCrLf()
    {
        TempTree t;
        QVERIFY(t.createFile("dst/a b", "hello"));
        const QByteArray line = "2CF24DBA5FB0A30E26E83B2AC5B9E29E1B161E5C1FA7425E73043362938B9824  a b\r\n";
        QVERIFY(WriteRaw(t.path("win.sha256"), "# made on another machine\r\n" + line));
        const Result r = Run({"--check", Q(t.path("win.sha256")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.lines.contains("Files Match - " + Q(t.path("dst/a b"))));
    }

    // Lines that lead out of TARGET open nothing, though the file they lead
    // to would match; each is named with its line number, the good lines are
    // still checked, and the exit status is 2.
    void linesLeadingOutOfTheTargetOpenNothing()
    {
        TempTree t;
        QVERIFY(t.createFile("outside", "secret"));
        QVERIFY(t.createFile("dst/inside", "fine"));
        QVERIFY(t.createDir("dst/sub"));
        QCOMPARE(::symlink(t.path("outside").c_str(), t.path("dst/absolute-link").c_str()), 0);
        QCOMPARE(::symlink("../outside", t.path("dst/relative-link").c_str()), 0);
        QCOMPARE(::symlink("../..", t.path("dst/sub/up").c_str()), 0);
        QCOMPARE(::symlink("inside", t.path("dst/link-inside").c_str()), 0);
        const QByteArray secret = "2bb80d537b1da3e38bd30361aa855686bde0eacd7162fef6a25fe97bf527a25b"; // of "secret"
        const QByteArray fine = QCryptographicHash::hash("fine", QCryptographicHash::Sha256).toHex();
        const QByteArray outside = QByteArray::fromStdString(t.path("outside"));
        QVERIFY(WriteRaw(t.path("evil.sha256"),
                         secret + "  ../outside\n" +                 // line 1
                             secret + "  " + outside + "\n" +        // line 2
                             secret + "  sub/../../outside\n" +      // line 3
                             "SHA256 (../outside) = " + secret + "\n" + // line 4
                             "this is not a checksum line\n" +       // line 5
                             secret + "  absolute-link\n" +          // line 6
                             secret + "  relative-link\n" +          // line 7
                             secret + "  sub/up/../outside\n" +      // line 8
                             secret + "  sub/up/outside\n" +         // line 9
                             fine + "  inside\n" +                   // line 10
                             fine + "  link-inside\n"));             // line 11
        const Result r = Run({"--check", Q(t.path("evil.sha256")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 2);
        for (int line : {1, 2, 3, 4, 5, 6, 7, 8, 9})
            QVERIFY2(!LinesStartingWith(r.lines, QString("Checksum line %1 not used - ").arg(line)).isEmpty(),
                     qPrintable(QString::number(line)));
        QVERIFY(r.lines.contains("Files Match - " + Q(t.path("dst/inside"))));
        // A link that stays inside is followed where the kernel keeps it
        // there; either way nothing outside was read.
        QVERIFY(!r.out.contains("outside") || LinesStartingWith(r.lines, "Files").filter("outside").isEmpty());
        QCOMPARE(LinesStartingWith(r.lines, "Files Match").filter("link-inside").size() +
                     LinesStartingWith(r.lines, "Checksum line 11").size(),
                 qsizetype(1));
        QVERIFY(LinesStartingWith(r.lines, "Files Differ").isEmpty());
        QVERIFY(r.lines.contains("Total number of checksum lines not used = 9"));
    }

    // What is no checksum file ends with one message and status 2, before
    // any file is read: the good line before the binary part is not checked.
    void notAChecksumFile_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("why");
        const QByteArray good = QCryptographicHash::hash("fine", QCryptographicHash::Sha256).toHex() + "  inside\n";
        QTest::newRow("empty") << QByteArray() << "it is empty";
        QTest::newRow("binary") << good + QByteArray("\x7f" "ELF\0\0\1", 7) + Bytes(100000, 1) << "binary data";
        QTest::newRow("an over-long line") << good + QByteArray(100000, 'a') + "\n" << "longer than any";
        QTest::newRow("text") << QByteArray("Dear diary,\nno checksums here.\n") << "no checksum line";
        QTest::newRow("only comments") << QByteArray("# nothing\n#\n") << "no checksum line";
        QTest::newRow("many lines, none good") << QByteArray("not a line\n").repeated(100000) << "no checksum line";
    }
    void notAChecksumFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, why);
        TempTree t;
        QVERIFY(t.createFile("dst/inside", "fine"));
        QVERIFY(WriteRaw(t.path("junk"), contents));
        const Result r = Run({"--check", Q(t.path("junk")), Q(t.path("dst"))});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(LinesStartingWith(r.lines, "Files").isEmpty());
        QVERIFY(LinesStartingWith(r.lines, "Total").isEmpty());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY2(r.err.startsWith("Checksum File: " + Q(t.path("junk")) + " is not a checksum file: "), qPrintable(r.err));
        QVERIFY2(r.err.contains(why), qPrintable(r.err));
    }

    void unusableArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--check without TARGET") << QStringList {"--check", "sums"};
        QTest::newRow("--check with two paths") << QStringList {"--check", "sums", "a", "b"};
        QTest::newRow("--check and --checksums") << QStringList {"--check", "sums", "--checksums", "x", "dst"};
        QTest::newRow("--check and a deletion") << QStringList {"--check", "sums", "--delete=target", "dst"};
        QTest::newRow("--check, TARGET a file") << QStringList {"--check", "sums", "sums"};
        QTest::newRow("--checksums without a file") << QStringList {"--checksums"};
        QTest::newRow("a checksum file that is a folder") << QStringList {"--check", "dst", "dst"};
        QTest::newRow("a checksum file that is not there") << QStringList {"--check", "none", "dst"};
        QTest::newRow("--checksums into a folder not writable")
            << QStringList {"--checksums", "/proc/no/sums", "src", "dst"};
    }
    void unusableArguments()
    {
        QFETCH(QStringList, args);
        TempTree t;
        QVERIFY(t.createFile("src/a", "a"));
        QVERIFY(t.createFile("dst/a", "a"));
        QVERIFY(t.createFile("sums", "87428fc522803d31065e7bce3cf03fe475096631e5e07bbd7a0fde60c4cf25c7  a\n"));
        const Result r = Run(args, t.root());
        QCOMPARE(r.exitCode, 2);
        QVERIFY(LinesStartingWith(r.lines, "Files").isEmpty());
        QVERIFY(!r.err.isEmpty());
    }

    // Killed outright, a recording run leaves nothing under the file's name:
    // an earlier file of that name is as it was. Stopped with SIGTERM, the
    // file is in place with the pairs proven so far, and the log says so.
    void killedRunLeavesNoTornFile_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGKILL") << int(SIGKILL);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void killedRunLeavesNoTornFile()
    {
        QFETCH(int, signalNumber);
        TempTree t;
        QVERIFY(t.createFile("src/small", "s"));
        QVERIFY(t.createFile("dst/small", "s"));
        // A large sparse pair keeps the comparison busy long enough.
        QVERIFY(t.createSparse("src/big", std::uint64_t(64) << 30));
        QVERIFY(t.createSparse("dst/big", std::uint64_t(64) << 30));
        const std::string sums = t.path("out/proof.sha256");
        QVERIFY(t.createFile("out/proof.sha256", "an earlier proof\n"));
        QProcess p;
        Prepare(p, Program(), {"--no-progress", "--checksums", Q(sums), Q(t.path("src")), Q(t.path("dst"))}, {});
        p.start();
        QVERIFY(p.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains("Begin folder and file comparison."), 30000);
        ::kill(pid_t(p.processId()), signalNumber);
        QVERIFY(p.waitForFinished(60000));
        out += p.readAllStandardOutput();
        if (signalNumber == SIGKILL) {
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
            QCOMPARE(ReadAll(sums), QByteArray("an earlier proof\n"));
            return;
        }
        QCOMPARE(p.exitCode(), 2);
        const QStringList lines = Unstamped(out);
        const QStringList saved = LinesStartingWith(lines, "Run cancelled: checksums of the ");
        QCOMPARE(saved.size(), qsizetype(1));
        QVERIFY(saved[0].endsWith(" files proven so far saved - " + Q(sums)));
        const QByteArray file = ReadAll(sums);
        QVERIFY(file.startsWith("# SHA-256"));
        QVERIFY(!file.contains("big"));
        QCOMPARE(QDir(Q(t.path("out"))).entryList(QDir::Files), QStringList {"proof.sha256"});
        QCOMPARE(Run({"-c", "--strict", Q(sums)}, t.path("dst"), "sha256sum").exitCode,
                 file.contains("small") ? 0 : 1); // with no line, sha256sum has nothing to check
    }
};

QVL_TEST_CORE_MAIN(CliChecksumsTest)
#include "CliChecksumsTest.moc"
