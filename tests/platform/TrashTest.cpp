#include "platform/FolderHandle.h"
#include "platform/MountTable.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"
#include "platform/Trash.h"

#include <QRegularExpression>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;

namespace {

// Byte for byte, also for names that are not UTF-8.
std::string ReadAll(const std::string &path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        text.append(buf, std::size_t(n));
    ::close(fd);
    return text;
}

bool WriteFile(const std::string &path, const std::string &data = "x")
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.data(), data.size()) == ssize_t(data.size());
    return ::close(fd) == 0 && ok;
}

bool Exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

int ModeOf(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

std::string Uid()
{
    return std::to_string(::getuid());
}

int EntriesIn(const std::string &folder)
{
    return int(QDir(QFile::decodeName(QByteArray::fromStdString(folder)))
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

// Nothing but entries and their .trashinfo files: no half-written info
// under another name left behind.
void CheckNoLeftovers(const std::string &trash)
{
    const QDir info(QFile::decodeName(QByteArray::fromStdString(trash + "/info")));
    const QStringList all = info.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : all)
        QVERIFY2(name.endsWith(".trashinfo") && QFileInfo(info, name).size() > 0, qPrintable(name));
}

// A working folder in the test home and a data home that does not exist
// yet, fresh for every test: the home trash starts missing each time.
struct FreshHome {
    std::string work;
    std::string trash;

    FreshHome()
    {
        static int counter = 0;
        const std::string base = std::string(std::getenv("HOME")) + "/case" + std::to_string(++counter);
        work = base + "/work";
        QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(work)));
        ::setenv("XDG_DATA_HOME", (base + "/data/share").c_str(), 1);
        trash = base + "/data/share/Trash";
    }
};

// A folder on another file system than the home: a tmpfs of our own when
// the machine lets us mount one (`top` is then its mount point), otherwise a
// fresh folder in /dev/shm when that is another file system (`top` is then
// /dev/shm and `folder` the fresh folder in it).
struct OtherVolume {
    TempTree tree;
    std::unique_ptr<TmpfsMount> mount;
    std::string top;
    std::string folder;
    std::string reason;
    bool sharedTrashExisted = false;

    OtherVolume()
    {
        tree.createDir("volume");
        mount = std::make_unique<TmpfsMount>(tree.path("volume"));
        if (mount->Mounted()) {
            top = folder = tree.path("volume");
            return;
        }
        reason = mount->Reason();
        struct stat home, shm;
        char tmpl[] = "/dev/shm/quorvel-test-XXXXXX";
        if (::stat(std::getenv("HOME"), &home) != 0 || ::stat("/dev/shm", &shm) != 0
            || home.st_dev == shm.st_dev || DrivePart("/dev/shm/x") != "/dev/shm" || !::mkdtemp(tmpl)) {
            reason += "; /dev/shm is not another writable file system either";
            return;
        }
        top = "/dev/shm";
        folder = tmpl;
        sharedTrashExisted = Exists(top + "/.Trash-" + Uid());
    }

    ~OtherVolume()
    {
        if (top != "/dev/shm")
            return;
        QDir(QString::fromStdString(folder)).removeRecursively();
        if (!sharedTrashExisted)
            QDir(QString::fromStdString(top + "/.Trash-" + Uid())).removeRecursively();
    }

    bool Usable() const { return !top.empty(); }
    bool Own() const { return mount->Mounted(); }
};
} // namespace

class TrashTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Local time well away from UTC, so that a deletion date written in
        // UTC is caught.
        ::setenv("TZ", "QVL-5:30", 1);
        ::tzset();
    }

    void homeTrashFolderFollowsTheDataHome()
    {
        const std::string home = std::getenv("HOME");
        ::setenv("XDG_DATA_HOME", "/some/data/", 1);
        QCOMPARE(HomeTrashDir(), std::string("/some/data/Trash"));
        ::unsetenv("XDG_DATA_HOME");
        QCOMPARE(HomeTrashDir(), home + "/.local/share/Trash");
        // A relative data home is not valid and is ignored.
        ::setenv("XDG_DATA_HOME", "relative/data", 1);
        QCOMPARE(HomeTrashDir(), home + "/.local/share/Trash");
    }

    void homeTrashIsCreatedWhenMissing()
    {
        FreshHome h;
        QCOMPARE(HomeTrashDir(), h.trash);
        QVERIFY(!Exists(h.trash));
        const std::string file = h.work + "/a.txt";
        QVERIFY(WriteFile(file, "payload"));

        const TrashOutcome out = MoveToTrash(file);
        QVERIFY2(out.ok, out.message.c_str());
        QCOMPARE(out.trashedAs, h.trash + "/files/a.txt");
        QCOMPARE(out.infoPath, h.trash + "/info/a.txt.trashinfo");
        QVERIFY(!Exists(file));
        QCOMPARE(ReadAll(out.trashedAs), std::string("payload"));
        QCOMPARE(ModeOf(h.trash), 0700);
        QCOMPARE(ModeOf(h.trash + "/files"), 0700);
        QCOMPARE(ModeOf(h.trash + "/info"), 0700);
    }

    void trashInfoNamesTheOriginalPath_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("plain") << QByteArray("plain-file_1.txt") << QByteArray("plain-file_1.txt");
        QTest::newRow("blanks") << QByteArray("with two blanks") << QByteArray("with%20two%20blanks");
        QTest::newRow("not UTF-8") << QByteArray("bad\xff\xfe name") << QByteArray("bad%FF%FE%20name");
        QTest::newRow("UTF-8") << QByteArray("\xc3\xbc" "ber") << QByteArray("%C3%BCber");
        QTest::newRow("percent, hash, question mark") << QByteArray("100%#?.txt")
                                                      << QByteArray("100%25%23%3F.txt");
        QTest::newRow("hidden") << QByteArray(".hidden") << QByteArray(".hidden");
    }

    void trashInfoNamesTheOriginalPath()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, encoded);
        FreshHome h;
        const std::string file = h.work + '/' + name.toStdString();
        QVERIFY(WriteFile(file));
        const std::time_t before = std::time(nullptr);
        const TrashOutcome out = MoveToTrash(file);
        const std::time_t after = std::time(nullptr);
        QVERIFY2(out.ok, out.message.c_str());
        QCOMPARE(out.trashedAs, h.trash + "/files/" + name.toStdString());

        char *real = ::realpath(h.work.c_str(), nullptr);
        const std::string workReal = real;
        std::free(real);
        const QString text = QString::fromLatin1(QByteArray::fromStdString(ReadAll(out.infoPath)));
        const QRegularExpression shape(QStringLiteral(
            "^\\[Trash Info\\]\nPath=([^\n]*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n$"));
        const auto match = shape.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        QCOMPARE(match.captured(1).toLatin1(), QByteArray::fromStdString(workReal) + '/' + encoded);

        // Local time, second by second, between the two clock readings.
        std::tm tm {};
        QVERIFY(::strptime(match.captured(2).toLatin1().constData(), "%Y-%m-%dT%H:%M:%S", &tm));
        tm.tm_isdst = -1;
        const std::time_t written = std::mktime(&tm);
        QVERIFY(written >= before && written <= after);
    }

    void sameNameTwiceGetsUniqueNames()
    {
        FreshHome h;
        const std::string file = h.work + "/same.txt";
        std::vector<std::string> names;
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(WriteFile(file, std::to_string(i)));
            const TrashOutcome out = MoveToTrash(file);
            QVERIFY2(out.ok, out.message.c_str());
            names.push_back(out.trashedAs.substr(out.trashedAs.rfind('/') + 1));
            QCOMPARE(out.infoPath, h.trash + "/info/" + names.back() + ".trashinfo");
            QCOMPARE(ReadAll(out.trashedAs), std::to_string(i));
            QVERIFY(ReadAll(out.infoPath).find("/same.txt\n") != std::string::npos);
        }
        QCOMPARE(names, (std::vector<std::string> {"same.txt", "same.txt.2", "same.txt.3"}));

        // An entry of files/ without its info file is kept; the new one
        // takes another name.
        QVERIFY(WriteFile(h.trash + "/files/left.txt", "old"));
        QVERIFY(WriteFile(h.work + "/left.txt", "new"));
        const TrashOutcome out = MoveToTrash(h.work + "/left.txt");
        QVERIFY(out.ok);
        QCOMPARE(out.trashedAs, h.trash + "/files/left.txt.2");
        QCOMPARE(ReadAll(h.trash + "/files/left.txt"), std::string("old"));
        QVERIFY(!Exists(h.trash + "/info/left.txt.trashinfo"));
    }

    void longNamesAreShortenedToFit()
    {
        FreshHome h;
        // 120 two-byte characters: 240 bytes, too long with ".trashinfo".
        std::string name;
        for (int i = 0; i < 120; ++i)
            name += "\xc3\xa9";
        QVERIFY(WriteFile(h.work + '/' + name));
        const TrashOutcome out = MoveToTrash(h.work + '/' + name);
        QVERIFY2(out.ok, out.message.c_str());
        const std::string trashed = out.trashedAs.substr(out.trashedAs.rfind('/') + 1);
        QVERIFY(trashed.size() + 10 <= 255);
        QVERIFY(QString::fromUtf8(trashed.c_str()).toUtf8().toStdString() == trashed);
        QVERIFY(ReadAll(out.infoPath).find(std::string("%C3%A9") + "\nDeletionDate") != std::string::npos);
    }

    // Our own naming must never push a file to a permanent deletion: a long
    // name that is not UTF-8 is cut at a byte, never back to nothing.
    void longNamesThatAreNotUtf8GoToTheTrash_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("250 continuation bytes") << QByteArray(250, '\x80');
        QTest::newRow("Latin-1 text") << QByteArray(200, '\xe9') + QByteArray(".jpg");
        QTest::newRow("broken UTF-8 at the cut") << QByteArray(240, 'a') + QByteArray("\xc3\xa9\xff\xfe") + QByteArray(8, 'b');
    }
    void longNamesThatAreNotUtf8GoToTheTrash()
    {
        QFETCH(QByteArray, name);
        FreshHome h;
        const std::string path = h.work + '/' + name.toStdString();
        QVERIFY(WriteFile(path, "keep me"));
        const TrashOutcome out = MoveToTrash(path);
        QVERIFY2(out.ok, out.message.c_str());
        const std::string trashed = out.trashedAs.substr(out.trashedAs.rfind('/') + 1);
        QVERIFY(trashed.size() >= 200);
        QVERIFY(trashed.size() + 10 <= 255);
        QVERIFY(name.toStdString().rfind(trashed, 0) == 0);
        QCOMPARE(ReadAll(out.trashedAs), std::string("keep me"));
        // A second one of the same name gets a number, not a shorter name.
        QVERIFY(WriteFile(path, "me too"));
        const TrashOutcome again = MoveToTrash(path);
        QVERIFY2(again.ok, again.message.c_str());
        QVERIFY(again.trashedAs != out.trashedAs);
        CheckNoLeftovers(h.trash);
    }

    void trashNamesAreNeverEmpty()
    {
        QCOMPARE(TrashName("photo.jpg", 0), std::string("photo.jpg"));
        QCOMPARE(TrashName("photo.jpg", 3), std::string("photo.jpg.3"));
        QVERIFY(!TrashName(std::string(255, '\x80'), 0).empty());
        QCOMPARE(TrashName(std::string(255, '\x80'), 0).size(), std::size_t(245));
        QVERIFY(!TrashName(std::string(255, '\x80'), 12345).empty());
        // A UTF-8 name is still cut where a character begins.
        std::string accents;
        for (int i = 0; i < 127; ++i)
            accents += "\xc3\xa9";
        const std::string cut = TrashName(accents, 0);
        QCOMPARE(cut.size(), std::size_t(244));
        QCOMPARE(QString::fromUtf8(cut.c_str()).toUtf8().toStdString(), cut);
        QVERIFY(TrashName("", 0) != "");
        QVERIFY(TrashName("..", 0) != "..");
    }

    // An info half-written by a process killed before it renamed the info
    // into place stays for ever unless we clear it; one of a live process
    // is its business.
    void stalePartsOfGoneProcessesAreCleared()
    {
        FreshHome h;
        QVERIFY(WriteFile(h.work + "/first.txt"));
        QVERIFY(MoveToTrash(h.work + "/first.txt").ok);
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        QVERIFY(child > 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        const std::string dead = h.trash + "/info/.quorvel-" + std::to_string(child) + "-7.part";
        const std::string alive = h.trash + "/info/.quorvel-" + std::to_string(::getppid()) + "-1.part";
        const std::string foreign = h.trash + "/info/.quorvel-notapid.part";
        for (const std::string &p : {dead, alive, foreign})
            QVERIFY(WriteFile(p, "[Trash Info]\n"));
        QVERIFY(WriteFile(h.work + "/second.txt"));
        QVERIFY(MoveToTrash(h.work + "/second.txt").ok);
        QVERIFY(!Exists(dead));
        QVERIFY(Exists(alive));
        QVERIFY(Exists(foreign));
    }

    void putBackRestoresWithoutReplacing()
    {
        FreshHome h;
        QVERIFY(WriteFile(h.work + "/x.txt", "moved"));
        TFolderHandle folder;
        QCOMPARE(folder.OpenPath(h.work), 0);
        TTrashSession session;
        const TrashOutcome out = session.MoveAt(folder, "x.txt", h.work + "/x.txt");
        QVERIFY(out.ok);
        struct stat st;
        QCOMPARE(::stat(out.trashedAs.c_str(), &st), 0);
        QCOMPARE(out.trashed.inode, std::uint64_t(st.st_ino));
        // Someone took the name meanwhile: theirs stays, ours comes back beside it.
        QVERIFY(WriteFile(h.work + "/x.txt", "theirs"));
        std::string restoredAs;
        QCOMPARE(session.PutBack(out, folder, "x.txt", restoredAs), 0);
        QCOMPARE(restoredAs, std::string("x.txt.restored"));
        QCOMPARE(ReadAll(h.work + "/x.txt"), std::string("theirs"));
        QCOMPARE(ReadAll(h.work + "/x.txt.restored"), std::string("moved"));
        QVERIFY(!Exists(out.trashedAs));
        QVERIFY(!Exists(out.infoPath));
    }

    void foldersAndLinksAreTrashedAsTheyAre()
    {
        FreshHome h;
        const std::string folder = h.work + "/folder";
        QVERIFY(QDir().mkpath(QString::fromStdString(folder + "/sub")));
        QVERIFY(WriteFile(folder + "/sub/inner.txt", "inner"));
        const TrashOutcome out = MoveToTrash(folder + '/');
        QVERIFY2(out.ok, out.message.c_str());
        QCOMPARE(out.trashedAs, h.trash + "/files/folder");
        QCOMPARE(ReadAll(out.trashedAs + "/sub/inner.txt"), std::string("inner"));
        QVERIFY(!Exists(folder));

        // A link goes to the trash itself; what it points at stays.
        QVERIFY(QDir().mkpath(QString::fromStdString(h.work + "/target")));
        QVERIFY(WriteFile(h.work + "/target/keep.txt"));
        QCOMPARE(::symlink((h.work + "/target").c_str(), (h.work + "/link").c_str()), 0);
        const TrashOutcome link = MoveToTrash(h.work + "/link/");
        QVERIFY2(link.ok, link.message.c_str());
        struct stat st;
        QCOMPARE(::lstat(link.trashedAs.c_str(), &st), 0);
        QVERIFY(S_ISLNK(st.st_mode));
        QVERIFY(Exists(h.work + "/target/keep.txt"));
    }

    void failuresLeaveNoTrashInfo()
    {
        FreshHome h;
        const TrashOutcome missing = MoveToTrash(h.work + "/not-there.txt");
        QVERIFY(!missing.ok);
        QCOMPARE(missing.error, ENOENT);
        QVERIFY(!missing.message.empty());
        QCOMPARE(EntriesIn(h.trash + "/info"), 0);

        const TrashOutcome root = MoveToTrash("/");
        QVERIFY(!root.ok);
        QCOMPARE(root.error, EINVAL);

        // The folder that holds the trash cannot be renamed into it: the
        // info file written before the attempt is taken back.
        QVERIFY(WriteFile(h.work + "/first.txt"));
        QVERIFY(MoveToTrash(h.work + "/first.txt").ok);
        const std::string holder = h.trash.substr(0, h.trash.rfind("/data/"));
        const TrashOutcome self = MoveToTrash(holder);
        QVERIFY(!self.ok);
        QCOMPARE(self.error, EINVAL);
        QVERIFY(Exists(holder));
        QCOMPARE(EntriesIn(h.trash + "/info"), 1);
    }

    void otherFileSystemUsesTheVolumesTrash()
    {
        FreshHome h;
        OtherVolume v;
        if (!v.Usable())
            QSKIP(v.reason.c_str());
        if (!v.Own() && Exists(v.top + "/.Trash"))
            QSKIP("/dev/shm has a shared trash of its own; not testing on it");
        QVERIFY(QDir().mkpath(QString::fromStdString(v.folder + "/dir")));
        const std::string file = v.folder + "/dir/f 1.txt";
        QVERIFY(WriteFile(file, "on the volume"));
        const TrashOutcome out = MoveToTrash(file);
        QVERIFY2(out.ok, out.message.c_str());
        const std::string trash = v.top + "/.Trash-" + Uid();
        const std::string name = out.trashedAs.substr(out.trashedAs.rfind('/') + 1);
        QVERIFY(name.rfind("f 1.txt", 0) == 0);
        QCOMPARE(out.trashedAs, trash + "/files/" + name);
        QCOMPARE(out.infoPath, trash + "/info/" + name + ".trashinfo");
        QCOMPARE(ModeOf(trash), 0700);
        QCOMPARE(ModeOf(trash + "/files"), 0700);
        const std::string relative = file.substr(v.top.size() + 1);
        QVERIFY(ReadAll(out.infoPath).find("\nPath=" + relative.substr(0, relative.size() - 7) + "f%201.txt\n")
                != std::string::npos);
        QCOMPARE(ReadAll(out.trashedAs), std::string("on the volume"));
        QVERIFY(!Exists(h.trash));
        if (!v.Own()) {
            ::unlink(out.trashedAs.c_str());
            ::unlink(out.infoPath.c_str());
        }
    }

    void stickySharedTrashIsPreferred_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("viaLink");
        QTest::addColumn<bool>("shared");
        QTest::newRow("sticky folder") << 01777 << false << true;
        QTest::newRow("not sticky") << 0777 << false << false;
        QTest::newRow("link to a sticky folder") << 01777 << true << false;
    }

    void stickySharedTrashIsPreferred()
    {
        QFETCH(int, mode);
        QFETCH(bool, viaLink);
        QFETCH(bool, shared);
        FreshHome h;
        OtherVolume v;
        if (!v.Own())
            QSKIP(v.reason.c_str());
        const std::string real = v.top + (viaLink ? "/elsewhere" : "/.Trash");
        QCOMPARE(::mkdir(real.c_str(), 0700), 0);
        QCOMPARE(::chmod(real.c_str(), mode_t(mode)), 0);
        if (viaLink)
            QCOMPARE(::symlink(real.c_str(), (v.top + "/.Trash").c_str()), 0);
        QVERIFY(WriteFile(v.top + "/g.txt"));
        const TrashOutcome out = MoveToTrash(v.top + "/g.txt");
        QVERIFY2(out.ok, out.message.c_str());
        const std::string trash = shared ? v.top + "/.Trash/" + Uid() : v.top + "/.Trash-" + Uid();
        QCOMPARE(out.trashedAs, trash + "/files/g.txt");
        QVERIFY(ReadAll(out.infoPath).find("\nPath=g.txt\n") != std::string::npos);
        // Refused shared trashes are left as they were.
        QCOMPARE(EntriesIn(real), shared ? 1 : 0);
    }

    // A file system part on a device of its own that the table does not
    // name (a btrfs subvolume, say) keeps its trash at its own top.
    void volumeTopFoundFromTheDevice()
    {
        FreshHome h;
        OtherVolume v;
        if (!v.Own())
            QSKIP(v.reason.c_str());
        QVERIFY(QDir().mkpath(QString::fromStdString(v.top + "/a/b")));
        QVERIFY(WriteFile(v.top + "/a/b/c.txt"));
        const auto rootOnly = ParseMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
        const TrashOutcome out = MoveToTrash(v.top + "/a/b/c.txt", rootOnly);
        QVERIFY2(out.ok, out.message.c_str());
        QCOMPARE(out.trashedAs, v.top + "/.Trash-" + Uid() + "/files/c.txt");
        QVERIFY(ReadAll(out.infoPath).find("\nPath=a/b/c.txt\n") != std::string::npos);
    }

    void volumeTrashThatCannotBeMadeFails()
    {
        FreshHome h;
        OtherVolume v;
        if (!v.Own())
            QSKIP(v.reason.c_str());
        QVERIFY(WriteFile(v.top + "/.Trash-" + Uid(), "a file in the way"));
        QVERIFY(WriteFile(v.top + "/stays.txt"));
        const TrashOutcome out = MoveToTrash(v.top + "/stays.txt");
        QVERIFY(!out.ok);
        QCOMPARE(out.error, ENOTDIR);
        QVERIFY(Exists(v.top + "/stays.txt"));
        QVERIFY(!Exists(h.trash));
    }

    // One Thumbs.db per folder: each name is found in a few probes, however
    // many of that name the trash holds already.
    void manyEntriesOfOneNameCostFewProbesEach()
    {
        FreshHome h;
        const auto trashMany = [&](int count, const std::string &tag) -> std::size_t {
            TTrashSession session;
            for (int i = 0; i < count; ++i) {
                const std::string folder = h.work + "/" + tag + std::to_string(i);
                if (::mkdir(folder.c_str(), 0755) != 0 || !WriteFile(folder + "/Thumbs.db"))
                    return 0;
                TFolderHandle handle;
                if (handle.OpenPath(folder) != 0 || !session.MoveAt(handle, "Thumbs.db", folder + "/Thumbs.db").ok)
                    return 0;
            }
            return session.Probes();
        };
        const std::size_t few = trashMany(300, "a");
        const std::size_t many = trashMany(3000, "b");
        QVERIFY(few > 0 && many > 0);
        // Probing names one by one from the start would cost 300 * 300 / 2
        // and 3000 * 3000 / 2 probes: a hundred times more for ten times the
        // files. Here it is ten times, a probe or two each.
        QVERIFY2(many < 11 * few, qPrintable(QString("%1 probes for 300, %2 for 3000").arg(few).arg(many)));
        QVERIFY2(many <= 2 * 3000 + 16, qPrintable(QString::number(many)));
        CheckNoLeftovers(h.trash);
        QCOMPARE(EntriesIn(h.trash + "/files"), 3300);
        QCOMPARE(EntriesIn(h.trash + "/info"), 3300);
    }

    void failedMovesLeaveNoPartialInfo()
    {
        FreshHome h;
        QVERIFY(WriteFile(h.work + "/first.txt"));
        QVERIFY(MoveToTrash(h.work + "/first.txt").ok);
        // A folder cannot go into the trash inside it; a missing entry
        // cannot go at all.
        QVERIFY(!MoveToTrash(h.trash.substr(0, h.trash.rfind("/data/"))).ok);
        QVERIFY(!MoveToTrash(h.work + "/missing").ok);
        CheckNoLeftovers(h.trash);
        QCOMPARE(EntriesIn(h.trash + "/info"), 1);
    }
};

QVL_TEST_CORE_MAIN(TrashTest)
#include "TrashTest.moc"
