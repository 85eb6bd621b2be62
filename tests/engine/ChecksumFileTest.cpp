// Checksum lines: what is read from them, what is refused, and that every
// name the program writes reads back as the same bytes.
#include "engine/ChecksumFile.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QFile>

using QvlTest::TempTree;

namespace {

const std::string kSha256 = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";
const std::string kMd5 = "5d41402abc4b2a76b9719d911017c592";
const std::string kSha1 = "aaf4c61ddcc5e8a2dabede0f3b482cd9aea9434d";
const std::string kSha512 = std::string(128, 'e');


} // namespace

class ChecksumFileTest : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryForm_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("path");
        const auto row = [](const char *name, const std::string &line, TDigestKind kind, const std::string &path) {
            QTest::newRow(name) << QByteArray::fromStdString(line) << int(kind) << QByteArray::fromStdString(path);
        };
        row("GNU, text mode", kSha256 + "  a/b.jpg", TDigestKind::Sha256, "a/b.jpg");
        row("GNU, binary mode", kSha256 + " *a/b.jpg", TDigestKind::Sha256, "a/b.jpg");
        row("GNU, ./ in front", kSha256 + "  ./a/b.jpg", TDigestKind::Sha256, "a/b.jpg");
        row("GNU, blanks kept", kSha256 + "   lead and trail ", TDigestKind::Sha256, " lead and trail ");
        row("GNU, escaped", "\\" + kSha256 + "  new\\nline \\\\ back\\rcr", TDigestKind::Sha256, "new\nline \\ back\rcr");
        row("GNU, a backslash not escaped", kSha256 + "  dir\\name", TDigestKind::Sha256, "dir\\name");
        row("GNU, capital hex", "2CF24DBA5FB0A30E26E83B2AC5B9E29E1B161E5C1FA7425E73043362938B9824  x", TDigestKind::Sha256, "x");
        row("GNU, CR LF", kSha256 + "  x\r", TDigestKind::Sha256, "x");
        row("GNU, bytes not UTF-8", kSha256 + "  caf\xe9", TDigestKind::Sha256, "caf\xe9");
        row("GNU, MD5", kMd5 + "  x", TDigestKind::Md5, "x");
        row("GNU, SHA-1", kSha1 + "  x", TDigestKind::Sha1, "x");
        row("GNU, SHA-512", kSha512 + "  x", TDigestKind::Sha512, "x");
        row("BSD, SHA256", "SHA256 (a/b.jpg) = " + kSha256, TDigestKind::Sha256, "a/b.jpg");
        row("BSD, a name with ') = '", "SHA256 (odd) = name) = " + kSha256, TDigestKind::Sha256, "odd) = name");
        row("BSD, escaped", "\\SHA256 (a\\\\b) = " + kSha256, TDigestKind::Sha256, "a\\b");
        row("BSD, MD5", "MD5 (x) = " + kMd5, TDigestKind::Md5, "x");
        row("BSD, SHA1", "SHA1 (x) = " + kSha1, TDigestKind::Sha1, "x");
        row("BSD, SHA512", "SHA512 (x) = " + kSha512, TDigestKind::Sha512, "x");
    }
    void readsEveryForm()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, kind);
        QFETCH(QByteArray, path);
        TChecksumEntry entry;
        std::string reason;
        QVERIFY2(ParseChecksumLine(line.toStdString(), entry, reason), reason.c_str());
        QCOMPARE(int(entry.kind), kind);
        QCOMPARE(QByteArray::fromStdString(entry.path), path);
        QCOMPARE(QByteArray::fromStdString(entry.hash), QByteArray::fromStdString(entry.hash).toLower());
    }

    // Refused lines, among them every path that could lead outside the
    // folder checked: such a path is never to be opened.
    void refusesLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("why");
        const auto row = [](const char *name, const std::string &line, const char *why) {
            QTest::newRow(name) << QByteArray::fromStdString(line) << QString(why);
        };
        row("absolute", kSha256 + "  /etc/passwd", "absolute");
        row("absolute, BSD", "SHA256 (/etc/passwd) = " + kSha256, "absolute");
        row("absolute, escaped", "\\" + kSha256 + "  /etc/\\\\x", "absolute");
        row("up", kSha256 + "  ../x", "'..'");
        row("up, after ./", kSha256 + "  ./../x", "'..'");
        row("up, in the middle", kSha256 + "  a/../../x", "'..'");
        row("up, at the end", kSha256 + "  a/..", "'..'");
        row("up, BSD", "SHA256 (../x) = " + kSha256, "'..'");
        row("up, escaped", "\\" + kSha256 + "  ..\\n/../x", "'..'");
        row("no name", kSha256 + "  ", "no file name");
        row("one blank", kSha256 + " x", "not a checksum line");
        row("hash too short", kSha256.substr(1) + "  x", "not a checksum line");
        row("not hex", "g" + kSha256.substr(1) + "  x", "not a checksum line");
        row("BSD, wrong length", "SHA256 (x) = " + kMd5, "not a SHA256 hash");
        row("BSD, unknown digest", "BLAKE2 (x) = " + kSha256, "no digest this program knows");
        row("unknown escape", "\\" + kSha256 + "  a\\tb", "unknown escape");
        row("words", "hello world", "not a checksum line");
    }
    void refusesLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, why);
        TChecksumEntry entry;
        std::string reason;
        QVERIFY(!ParseChecksumLine(line.toStdString(), entry, reason));
        QVERIFY2(QString::fromStdString(reason).contains(why), reason.c_str());
    }

    // Whatever bytes a name holds, the line written for it reads back as the
    // same name.
    void writtenLinesReadBack_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("plain") << QByteArray("a/b.jpg");
        QTest::newRow("blanks") << QByteArray("  two  blanks ");
        QTest::newRow("newline") << QByteArray("a\nb");
        QTest::newRow("carriage return at the end") << QByteArray("a\r");
        QTest::newRow("backslashes") << QByteArray("\\a\\\\b\\");
        QTest::newRow("star in front") << QByteArray("*star");
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe\x80");
        QTest::newRow("looks like a comment") << QByteArray("# not a comment");
    }
    void writtenLinesReadBack()
    {
        QFETCH(QByteArray, name);
        const std::string line = ChecksumLine(kSha256, name.toStdString());
        QVERIFY(line.find('\n') == std::string::npos);
        QVERIFY(!IsChecksumComment(line));
        TChecksumEntry entry;
        std::string reason;
        QVERIFY2(ParseChecksumLine(line, entry, reason), reason.c_str());
        QCOMPARE(QByteArray::fromStdString(entry.path), name);
        QCOMPARE(entry.hash, kSha256);
    }

    // The problems of a file are numbered by its lines, comments and blank
    // lines included.
    void problemsNameTheirLines()
    {
        TempTree t;
        const std::string text = "# comment\n\n" + kSha256 + "  good\nbad\n" + kMd5 + "  ../up\n" + kMd5 + "  fine";
        QVERIFY(t.createFile("sums", QByteArray::fromStdString(text)));
        TChecksumList list;
        std::string error;
        QVERIFY2(ReadChecksumFile(t.path("sums"), list, error), error.c_str());
        QCOMPARE(list.entries.size(), std::size_t(2));
        QCOMPARE(list.entries[0].line, std::size_t(3));
        QCOMPARE(list.entries[1].line, std::size_t(6));
        QCOMPARE(list.entries[1].path, std::string("fine"));
        QCOMPARE(list.problems.size(), std::size_t(2));
        QCOMPARE(list.problems[0].line, std::size_t(4));
        QCOMPARE(list.problems[1].line, std::size_t(5));
    }

    // The default place is the program's data folder, named after the
    // Target and the date; a name taken gets a number, never a file of the
    // Target's.
    void defaultPathIsInTheDataFolder()
    {
        const std::string data = ::getenv("XDG_DATA_HOME");
        const std::string first = DefaultChecksumPath("/media/card/DCIM/", "2026-12-09");
        QCOMPARE(first, data + "/quorvel/checksums/DCIM-2026-12-09.sha256");
        QVERIFY(QDir().mkpath(QString::fromStdString(data + "/quorvel/checksums")));
        QFile taken(QString::fromStdString(first));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        QCOMPARE(DefaultChecksumPath("/media/card/DCIM", "2026-12-09"),
                 data + "/quorvel/checksums/DCIM-2026-12-09-2.sha256");
        QCOMPARE(DefaultChecksumPath("/", "2026-12-09"), data + "/quorvel/checksums/root-2026-12-09.sha256");
    }
};

QVL_TEST_CORE_MAIN(ChecksumFileTest)
#include "ChecksumFileTest.moc"
