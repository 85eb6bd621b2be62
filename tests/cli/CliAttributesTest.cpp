// --attributes and --target-only, held against rsync: on a copy made with
// cp -a and then altered, what quorvel-verify finds is what rsync's itemized
// dry run would change; a FAT Target keeps its times in two-second steps;
// without the two options the output is the same as without this feature;
// and a deletion never takes a file whose attributes differ, nor one that is
// only in the Target.
#include "tests/cli/CliOutput.h"
#include "tests/common/CsvByPython.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QMap>
#include <QProcess>
#include <QSet>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Result RunProgram(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setChildProcessModifier([] { ::setsid(); });
    p.start();
    Result r;
    if (!p.waitForFinished(120000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Result Verify(const QStringList &args)
{
    return RunProgram(QvlTest::VerifierProgram(), QStringList {"--no-progress"} + args);
}

// A tool's run that must work; its error output otherwise.
bool Tool(const QString &program, const QStringList &args, QString *why = nullptr)
{
    const Result r = RunProgram(program, args);
    if (r.exitCode != 0 && why)
        *why = program + " " + args.join(' ') + ": " + QString::fromUtf8(r.err);
    return r.exitCode == 0;
}

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

using TFindings = QMap<QString, QSet<QString>>; // relative path -> what differs

// "Attributes Differ - TGT/rel (mtime, xattr user.tag)" lines, each
// attribute named by its kind as rsync's itemizing names it ("xattr" for
// every extended attribute).
TFindings AttributeLines(const QByteArray &out, const QString &targetBase)
{
    TFindings found;
    const QString head = "Attributes Differ - " + targetBase;
    for (const QString &line : QvlTest::UnstampedLines(out)) {
        if (!line.startsWith(head))
            continue;
        const qsizetype open = line.lastIndexOf(" (");
        const QString rel = line.mid(head.size(), open - head.size());
        for (QString name : line.mid(open + 2).chopped(1).split(", ")) {
            if (name.startsWith("xattr "))
                name = "xattr";
            found[rel] << name;
        }
    }
    return found;
}

QSet<QString> TargetOnlyLines(const QByteArray &out, const QString &targetBase)
{
    QSet<QString> found;
    const QString head = "Target Only - " + targetBase;
    for (const QString &line : QvlTest::UnstampedLines(out))
        if (line.startsWith(head))
            found << line.mid(head.size());
    return found;
}

// What rsync's itemized dry run would change: the attribute letters of the
// files it would not copy (their contents are equal, -c), and the files it
// would delete from the Target.
void RsyncFindings(const QByteArray &out, TFindings &attributes, QSet<QString> &deleted)
{
    // YXcstpoguax: the letters of an item's attributes, at these places.
    const QList<QPair<int, QString>> letters = {{4, "mtime"}, {5, "mode"}, {6, "owner"},
                                                {7, "group"}, {9, "acl"},  {10, "xattr"}};
    for (const QString &line : QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("*deleting ")) {
            const QString path = line.mid(10).trimmed();
            if (!path.endsWith('/'))
                deleted << path;
            continue;
        }
        if (line.size() < 13 || line[1] != 'f')
            continue;
        const QString flags = line.left(11), path = line.mid(12);
        for (const auto &[at, name] : letters)
            if (flags[at] != '.' && flags[at] != ' ')
                attributes[path] << name;
    }
}

// The lines that are this program's run log but for what the two options
// add.
QStringList WithoutOptionLines(const QByteArray &out)
{
    QStringList kept;
    for (const QString &line : QvlTest::UnstampedLines(out)) {
        if (line.startsWith("Attributes Differ - ") || line.startsWith("Target Only - ") ||
            line.startsWith("Looking for files only in the Target.") ||
            line.startsWith("Total number of files whose attributes differ = ") ||
            line.startsWith("Total number of files only in the Target = "))
            continue;
        if (line.startsWith("End file operations."))
            kept << "End file operations."; // the elapsed time differs
        else
            kept << line;
    }
    return kept;
}

// A FAT file system in an image file, mounted for the life of the fixture:
// by the kernel through a loop device, or, where the kernel has no FAT, by
// fusefat (FUSE, whose statfs names only FUSE: the mount table tells FAT).
class FatMount
{
public:
    explicit FatMount(const std::string &image, const std::string &folder) : m_folder(folder)
    {
        if (::geteuid() != 0) {
            m_reason = "mounting a FAT image needs root";
            return;
        }
        QString why;
        if (!Tool("truncate", {"-s", "16M", Q(image)}, &why) || !Tool("mkfs.vfat", {Q(image)}, &why)) {
            m_reason = "cannot make a FAT image: " + why.toStdString();
            return;
        }
        QString fuseWhy;
        if (!Tool("mount", {"-o", "loop", Q(image), Q(folder)}, &why)
            && !Tool("fusefat", {"-o", "rw+", Q(image), Q(folder)}, &fuseWhy)) {
            m_reason = "cannot mount a FAT image: " + why.toStdString() + "; " + fuseWhy.toStdString();
            return;
        }
        m_mounted = true;
    }
    ~FatMount()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    const char *Reason() const { return m_reason.c_str(); }

private:
    std::string m_folder;
    std::string m_reason;
    bool m_mounted = false;
};

// Another user and group, which root may give a file.
constexpr const char *kOtherId = "12345";

} // namespace

class CliAttributesTest : public QObject
{
    Q_OBJECT
private slots:
    // A tree copied with cp -a, then altered in the Target one way per file;
    // quorvel-verify names, per file, the attributes rsync would set, and the
    // files rsync would delete.
    void findsWhatRsyncWouldChange()
    {
        if (::geteuid() != 0)
            QSKIP("giving a file to another owner needs root");
        TempTree t;
        const QString src = Q(t.path("src")), tgt = Q(t.path("tgt"));
        for (const char *name : {"same", "mtime", "mode", "owner", "group", "xattr", "acl", "sub/dropped", "sub/same"})
            QVERIFY(t.createFile(std::string("src/") + name, QByteArray("contents of ") + name));
        QString why;
        if (!Tool("setfattr", {"-n", "user.keep", "-v", "1", src + "/sub/dropped"}, &why))
            QSKIP(qPrintable("no user extended attributes here: " + why));
        QVERIFY2(Tool("cp", {"-a", src, tgt}, &why), qPrintable(why));

        QVERIFY2(Tool("touch", {"-d", "2001-02-03 04:05:06", tgt + "/mtime"}, &why), qPrintable(why));
        QCOMPARE(::chmod(t.path("tgt/mode").c_str(), 0600), 0);
        QVERIFY2(Tool("chown", {kOtherId, tgt + "/owner"}, &why), qPrintable(why));
        QVERIFY2(Tool("chgrp", {kOtherId, tgt + "/group"}, &why), qPrintable(why));
        QVERIFY2(Tool("setfattr", {"-n", "user.tag", "-v", "red", tgt + "/xattr"}, &why), qPrintable(why));
        QVERIFY2(Tool("setfattr", {"-x", "user.keep", tgt + "/sub/dropped"}, &why), qPrintable(why));
        if (!Tool("setfacl", {"-m", QString("u:%1:r").arg(kOtherId), tgt + "/acl"}, &why))
            QSKIP(qPrintable("no ACLs here: " + why));
        QVERIFY(t.createFile("tgt/extra", "left over"));
        QVERIFY(t.createFile("tgt/newdir/extra2", "left over"));

        const std::string report = t.path("report.csv");
        const Result r = Verify({"--attributes", "--target-only", "--report", Q(report), src, tgt});
        QCOMPARE(r.exitCode, 1);
        const Result rsync = RunProgram("rsync", {"-rcni", "--perms", "--times", "--owner", "--group", "-X", "-A",
                                                  "--delete", "--dry-run", src + "/", tgt + "/"});
        QVERIFY2(rsync.exitCode == 0, rsync.err.constData());
        TFindings expected;
        QSet<QString> expectedOnly;
        RsyncFindings(rsync.out, expected, expectedOnly);
        // The oracle saw the changes made; an rsync that cannot tell them
        // proves nothing.
        QCOMPARE(expected.size(), 7);
        QCOMPARE(expectedOnly.size(), 2);

        QCOMPARE(AttributeLines(r.out, tgt + "/"), expected);
        QCOMPARE(TargetOnlyLines(r.out, tgt + "/"), expectedOnly);
        const QStringList lines = QvlTest::UnstampedLines(r.out);
        QVERIFY(lines.contains("Total number of files whose attributes differ = 7"));
        QVERIFY(lines.contains("Total number of files only in the Target = 2"));
        // Their bytes match: the existing totals keep their meaning.
        QVERIFY(lines.contains("Total number of matching files = 9"));
        QVERIFY(lines.contains("Total number of different files = 0"));
        // The extended attribute is named; the ACL is not counted again as
        // the extended attribute that holds it.
        QVERIFY(lines.contains("Attributes Differ - " + tgt + "/xattr (xattr user.tag)"));
        QVERIFY(lines.contains("Attributes Differ - " + tgt + "/acl (acl)"));

        // The report: one row per difference, beside the pair's match.
        QMap<QString, QString> rows;
        for (const QStringList &row : QvlTest::CsvByPython(report))
            if (row.value(0) == "attributes-differ" || row.value(0) == "target-only")
                rows[row.value(0) + " " + row.value(2)] = row.value(1) + "|" + row.value(4);
        QCOMPARE(rows.value("attributes-differ " + tgt + "/mtime"), src + "/mtime|mtime");
        QCOMPARE(rows.value("attributes-differ " + tgt + "/sub/dropped"), src + "/sub/dropped|xattr user.keep");
        QCOMPARE(rows.value("target-only " + tgt + "/newdir/extra2"), QString("|"));
        QCOMPARE(rows.size(), 9);

        // Only the attributes asked for.
        const Result some = Verify({"--attributes=mode,acl", src, tgt});
        QCOMPARE(AttributeLines(some.out, tgt + "/"),
                 (TFindings {{"mode", {"mode"}}, {"acl", {"acl"}}}));
        QCOMPARE(some.exitCode, 1);
        QVERIFY(TargetOnlyLines(some.out, tgt + "/").isEmpty());

        // JSON: an object per difference, and the totals.
        const Result json = Verify({"--json", "--attributes", "--target-only", src, tgt});
        QVERIFY(json.out.contains(R"("type":"attributes")"));
        QVERIFY(json.out.contains(R"("path":"newdir/extra2")"));
        QVERIFY(json.out.contains(R"("attributes_differ":7)"));
        QVERIFY(json.out.contains(R"("target_only":2)"));

        // A checksum file proves bytes: every match is in it, whatever its
        // attributes, and no file that is only in the Target.
        const std::string sums = t.path("sums.sha256");
        const Result recorded = Verify({"--checksums", Q(sums), "--attributes", "--target-only", src, tgt});
        QCOMPARE(recorded.exitCode, 1);
        QFile sumFile(Q(sums));
        QVERIFY(sumFile.open(QIODevice::ReadOnly));
        const QByteArray sumText = sumFile.readAll();
        qsizetype sumLines = 0;
        for (const QByteArray &line : sumText.split('\n'))
            sumLines += !line.isEmpty() && !line.startsWith('#');
        QCOMPARE(sumLines, qsizetype(9));
        QVERIFY(sumText.contains("  mtime\n") && sumText.contains("  sub/dropped\n"));
        QVERIFY(!sumText.contains("extra"));

        // Without the options, the run says what it said before they
        // existed: the same lines, with the options' own taken away.
        const Result plain = Verify({src, tgt});
        QCOMPARE(plain.exitCode, 0);
        QCOMPARE(WithoutOptionLines(plain.out), WithoutOptionLines(r.out));
        QVERIFY(AttributeLines(plain.out, tgt + "/").isEmpty());
        QVERIFY(!plain.out.contains("Target Only") && !plain.out.contains("attributes differ ="));
        QVERIFY(!plain.out.contains("only in the Target ="));
    }

    // A copy on FAT keeps its times in two-second steps: that is no
    // difference. A time moved further is one.
    void fatTargetKeepsTimesInItsOwnSteps()
    {
        TempTree t;
        QVERIFY(t.createDir("fat"));
        FatMount fat(t.path("fat.img"), t.path("fat"));
        if (!fat.Mounted())
            QSKIP(fat.Reason());
        const QString src = Q(t.path("src")), tgt = Q(t.path("fat"));
        QVERIFY(t.createFile("src/odd", "odd second"));
        QVERIFY(t.createFile("src/sub/fine", "a fine time"));
        QString why;
        QVERIFY2(Tool("touch", {"-d", "2020-05-06 07:08:09.731", src + "/odd"}, &why), qPrintable(why));
        QVERIFY2(Tool("touch", {"-d", "2020-05-06 07:08:10.999999999", src + "/sub/fine"}, &why), qPrintable(why));
        // The entries, not "src/.": fusefat cannot set the times of its root.
        QVERIFY2(Tool("cp", {"-r", "--preserve=timestamps", src + "/odd", src + "/sub", tgt}, &why), qPrintable(why));

        const Result r = Verify({"--attributes", src, tgt});
        for (const QSet<QString> &what : AttributeLines(r.out, tgt + "/"))
            QVERIFY2(!what.contains("mtime"), r.out.constData());
        const Result times = Verify({"--attributes=mtime", src, tgt});
        QCOMPARE(times.exitCode, 0);
        QVERIFY(QvlTest::UnstampedLines(times.out).contains("Total number of files whose attributes differ = 0"));

        QVERIFY2(Tool("touch", {"-d", "2020-05-06 07:08:04", tgt + "/odd"}, &why), qPrintable(why));
        const Result moved = Verify({"--attributes=mtime", src, tgt});
        QCOMPARE(moved.exitCode, 1);
        QCOMPARE(AttributeLines(moved.out, tgt + "/"), (TFindings {{"odd", {"mtime"}}}));
    }

    // A deletion takes only the files whose attributes match their copy's;
    // the others are named as kept, and a file only in the Target is never
    // touched.
    void deletionKeepsWhatIsNoExactCopy()
    {
        TempTree t;
        const QString src = Q(t.path("src")), tgt = Q(t.path("tgt"));
        for (const char *name : {"exact", "retimed", "locked"})
            QVERIFY(t.createFile(std::string("src/") + name, name));
        QString why;
        QVERIFY2(Tool("cp", {"-a", src, tgt}, &why), qPrintable(why));
        QVERIFY2(Tool("touch", {"-d", "2001-02-03 04:05:06", tgt + "/retimed"}, &why), qPrintable(why));
        QCOMPARE(::chmod(t.path("tgt/locked").c_str(), 0400), 0);
        QVERIFY(t.createFile("tgt/extra", "left over"));

        const Result r = Verify({"--attributes", "--target-only", "--delete=target", "--yes", src, tgt});
        QCOMPARE(r.exitCode, 1);
        const QStringList lines = QvlTest::UnstampedLines(r.out);
        QVERIFY2(lines.contains("Not deleted, its attributes differ from its copy's - " + tgt + "/retimed"),
                 r.out.constData());
        QVERIFY(lines.contains("Not deleted, its attributes differ from its copy's - " + tgt + "/locked"));
        QVERIFY(lines.contains("Target Only - " + tgt + "/extra"));
        struct stat st {};
        QVERIFY(::stat(t.path("tgt/exact").c_str(), &st) != 0);
        QCOMPARE(::stat(t.path("tgt/retimed").c_str(), &st), 0);
        QCOMPARE(::stat(t.path("tgt/locked").c_str(), &st), 0);
        QCOMPARE(::stat(t.path("tgt/extra").c_str(), &st), 0);
        QCOMPARE(::stat(t.path("src/retimed").c_str(), &st), 0);
    }

    // The Target is walked as the Source was: the masks take the same files
    // on both sides, hidden files and subfolders stay out when they are left
    // out; a Source folder of the file's name is no counterpart, a Source
    // entry the walk skipped (a FIFO) is one. A FIFO in the Target is never
    // opened.
    void targetOnlyFollowsTheWalksRules()
    {
        TempTree t;
        const QString src = Q(t.path("src")), tgt = Q(t.path("tgt"));
        QVERIFY(t.createFile("src/both.txt", "b"));
        QVERIFY(t.createFile("tgt/both.txt", "b"));
        QVERIFY(t.createFile("src/folder.txt/inner.txt", "i"));
        QVERIFY(t.createFile("tgt/folder.txt", "a file where the Source has a folder"));
        QCOMPARE(::mkfifo(t.path("src/fifo.txt").c_str(), 0644), 0);
        QVERIFY(t.createFile("tgt/fifo.txt", "a file where the Source has a FIFO"));
        QVERIFY(t.createFile("tgt/extra.txt", "x"));
        QVERIFY(t.createFile("tgt/extra.bin", "not taken by the mask"));
        QVERIFY(t.createFile("tgt/.hidden.txt", "h"));
        QVERIFY(t.createFile("tgt/deep/extra.txt", "d"));
        QCOMPARE(::mkfifo(t.path("tgt/pipe.txt").c_str(), 0644), 0);
        QVERIFY(t.createFile("tgt/new\nline.txt", "a name that must stay one line"));

        // The mask names the Source's own folder: it must take the Target's
        // files all the same.
        const QString mask = src + "/*.txt";
        const Result all = Verify({"--target-only", "--mask", mask, src, tgt});
        QCOMPARE(TargetOnlyLines(all.out, tgt + "/"),
                 (QSet<QString> {"folder.txt", "extra.txt", ".hidden.txt", "deep/extra.txt", "new\\nline.txt"}));
        QCOMPARE(all.exitCode, 1); // and folder.txt/inner.txt is missing in the Target
        const Result narrow = Verify({"--target-only", "--no-hidden", "--no-subfolders", "--mask", mask, src, tgt});
        QCOMPARE(TargetOnlyLines(narrow.out, tgt + "/"), (QSet<QString> {"folder.txt", "extra.txt", "new\\nline.txt"}));
        QVERIFY(QvlTest::UnstampedLines(narrow.out).contains("Total number of files only in the Target = 3"));
    }

    // A checksum file kept in the Target is no file of the copy; a check
    // against it names the Target files it does not list.
    void targetOnlyWithChecksums()
    {
        TempTree t;
        const QString src = Q(t.path("src")), tgt = Q(t.path("tgt")), sums = Q(t.path("tgt/proof.sha256"));
        for (const char *side : {"src/", "tgt/"}) {
            QVERIFY(t.createFile(side + std::string("a"), "a"));
            QVERIFY(t.createFile(side + std::string("sub/b"), "b"));
        }
        const Result recorded = Verify({"--checksums", sums, "--target-only", src, tgt});
        QCOMPARE(recorded.exitCode, 0);
        QVERIFY2(TargetOnlyLines(recorded.out, tgt + "/").isEmpty(), recorded.out.constData());

        QVERIFY(t.createFile("tgt/sub/extra", "x"));
        const Result check = Verify({"--check", sums, "--target-only", tgt});
        QCOMPARE(check.exitCode, 1);
        QCOMPARE(TargetOnlyLines(check.out, tgt + "/"), (QSet<QString> {"sub/extra"}));
        QVERIFY(QvlTest::UnstampedLines(check.out).contains("Total number of files only in the Target = 1"));
        QVERIFY(QvlTest::UnstampedLines(check.out).contains("Total number of matching files = 2"));
        const Result plain = Verify({"--check", sums, tgt});
        QCOMPARE(plain.exitCode, 0);
        QVERIFY(TargetOnlyLines(plain.out, tgt + "/").isEmpty());
    }

    void badAttributeListsAreRefused()
    {
        TempTree t;
        QVERIFY(t.createFile("src/a", "a"));
        QVERIFY(t.createFile("tgt/a", "a"));
        const Result r = Verify({"--attributes=mtime,size", Q(t.path("src")), Q(t.path("tgt"))});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("unknown attribute 'size'"), r.err.constData());
        const Result check = Verify({"--check", Q(t.path("sums")), "--attributes", Q(t.path("tgt"))});
        QCOMPARE(check.exitCode, 2);
        QVERIFY2(check.err.contains("no SOURCE to compare attributes with"), check.err.constData());
    }
};

QVL_TEST_CORE_MAIN(CliAttributesTest)
#include "CliAttributesTest.moc"
