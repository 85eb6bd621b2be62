#include "platform/ItemDetails.h"
#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/platform/TmpfsMount.h"

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using QvlTest::TempTree;
using QvlTest::TmpfsMount;

class ItemDetailsTest : public QObject
{
    Q_OBJECT
private slots:
    void modeStringWritesWhatLsWrites_data();
    void modeStringWritesWhatLsWrites();
    void detailsOfEachKindOfEntry();
    void mountPointsAndWhatIsNotOne_data();
    void mountPointsAndWhatIsNotOne();
    void volumeOfAPathIsTheMountHoldingIt();
    void createFolderMakesOneLevelOnly();
};

void ItemDetailsTest::modeStringWritesWhatLsWrites_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<unsigned>("mode");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain file") << '-' << 0644u << "-rw-r--r--";
    QTest::newRow("folder") << 'd' << 0755u << "drwxr-xr-x";
    QTest::newRow("nothing allowed") << '-' << 0u << "----------";
    QTest::newRow("sticky /tmp") << 'd' << 01777u << "drwxrwxrwt";
    QTest::newRow("sticky without x") << 'd' << 01776u << "drwxrwxrwT";
    QTest::newRow("setuid program") << '-' << 04755u << "-rwsr-xr-x";
    QTest::newRow("setgid without x") << 'd' << 02740u << "drwxr-S---";
    QTest::newRow("link") << 'l' << 0777u << "lrwxrwxrwx";
}

void ItemDetailsTest::modeStringWritesWhatLsWrites()
{
    QFETCH(char, type);
    QFETCH(unsigned, mode);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(ModeString(type, mode)), expected);
}

void ItemDetailsTest::detailsOfEachKindOfEntry()
{
    TempTree tree;
    QVERIFY(tree.createFile("file.bin", QByteArray(1234, 'x')));
    QVERIFY(tree.createDir("folder"));
    QCOMPARE(::symlink("folder", tree.path("link").c_str()), 0);
    QCOMPARE(::chmod(tree.path("file.bin").c_str(), 0640), 0);

    const TItemDetails file = GetItemDetails(tree.path("file.bin"));
    QCOMPARE(file.error, 0);
    QVERIFY(file.isFile && !file.isDir && !file.isLink);
    QCOMPARE(file.size, std::uint64_t(1234));
    QCOMPARE(file.mode, 0640u);
    QCOMPARE(file.typeLetter, '-');
    QCOMPARE(file.uid, unsigned(::getuid()));
    QVERIFY(!file.owner.empty()); // every test user has a name

    struct stat st;
    QCOMPARE(::lstat(tree.path("file.bin").c_str(), &st), 0);
    QCOMPARE(file.modifiedSec, std::int64_t(st.st_mtim.tv_sec));

    const TItemDetails folder = GetItemDetails(tree.path("folder"));
    QVERIFY(folder.isDir && !folder.isLink);
    QCOMPARE(folder.typeLetter, 'd');

    // The link itself, not the folder it points to.
    const TItemDetails link = GetItemDetails(tree.path("link"));
    QVERIFY(link.isLink && !link.isDir);
    QCOMPARE(link.typeLetter, 'l');
    QCOMPARE(QString::fromStdString(link.linkTarget), QStringLiteral("folder"));

    const TItemDetails missing = GetItemDetails(tree.path("missing"));
    QCOMPARE(missing.error, ENOENT);
}

void ItemDetailsTest::mountPointsAndWhatIsNotOne_data()
{
    QTest::addColumn<QString>("relative"); // below the test tree; "/" is the root itself
    QTest::addColumn<bool>("expected");
    QTest::newRow("root") << "/" << true;
    QTest::newRow("mount point") << "mnt" << true;
    QTest::newRow("mount point with its slash") << "mnt/" << true;
    QTest::newRow("reached through a linked folder") << "via/mnt" << true;
    QTest::newRow("folder inside the mount") << "mnt/inner" << false;
    QTest::newRow("plain folder") << "plain" << false;
    QTest::newRow("link to the mount point") << "link-to-mnt" << false;
    QTest::newRow("missing") << "missing" << false;
}

void ItemDetailsTest::mountPointsAndWhatIsNotOne()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    TempTree tree;
    QVERIFY(tree.createDir("mnt"));
    QVERIFY(tree.createDir("plain"));
    TmpfsMount mount(tree.path("mnt"));
    if (!mount.Mounted())
        QSKIP(mount.Reason());
    QVERIFY(tree.createDir("mnt/inner"));
    QCOMPARE(::symlink(tree.path("mnt").c_str(), tree.path("link-to-mnt").c_str()), 0);
    QCOMPARE(::symlink(tree.root().c_str(), tree.path("via").c_str()), 0);
    const std::string path = relative == "/" ? std::string("/") : tree.path(relative.toStdString());
    QCOMPARE(IsMountPoint(path), expected);
}

void ItemDetailsTest::volumeOfAPathIsTheMountHoldingIt()
{
    TempTree tree;
    QVERIFY(tree.createDir("vol"));
    TmpfsMount mount(tree.path("vol"));
    if (!mount.Mounted())
        QSKIP(mount.Reason());
    QVERIFY(tree.createFile("vol/sub/file", "abc"));
    const TVolumeDetails v = GetVolumeDetails(tree.path("vol/sub/file"));
    QCOMPARE(v.error, 0);
    QCOMPARE(QString::fromStdString(v.mountPoint), QString::fromStdString(tree.path("vol")));
    QCOMPARE(QString::fromStdString(v.fsType), QStringLiteral("tmpfs"));
    QCOMPARE(v.totalBytes, std::uint64_t(16) * 1024 * 1024); // the size the mount was given
    QVERIFY(v.availableBytes > 0 && v.availableBytes <= v.totalBytes);
    QVERIFY(!v.readOnly);

    QCOMPARE(QString::fromStdString(GetVolumeDetails("/").mountPoint), QStringLiteral("/"));
    QCOMPARE(GetVolumeDetails(tree.path("missing")).error, ENOENT);
}

void ItemDetailsTest::createFolderMakesOneLevelOnly()
{
    TempTree tree;
    QCOMPARE(CreateFolder(tree.path("new")), 0);
    QVERIFY(QFileInfo(QString::fromStdString(tree.path("new"))).isDir());
    QCOMPARE(CreateFolder(tree.path("new")), EEXIST);
    QCOMPARE(CreateFolder(tree.path("a/b")), ENOENT);
    QCOMPARE(CreateFolder(""), ENOENT);
}

QVL_TEST_CORE_MAIN(ItemDetailsTest)
#include "ItemDetailsTest.moc"
