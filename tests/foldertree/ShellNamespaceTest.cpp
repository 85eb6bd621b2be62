// The namespace on temporary trees: parsing paths into IDs and back,
// listing with and without hidden entries, ordering, attributes (links,
// hidden, subfolders), an unreadable folder, and the well-known roots.
#include "platform/MountTable.h"
#include "controls/foldertree/PidlHelp.h"
#include "controls/foldertree/ShellNamespace.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"
#include "tests/foldertree/TreeTestHelpers.h"

#include <algorithm>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The names a folder lists for `flags`.
std::set<std::string> Names(TShellFolder &folder, unsigned flags)
{
    std::set<std::string> names;
    auto items = folder.EnumObjects(nullptr, flags);
    if (!items)
        return {"<unlistable>"};
    TPidlHolder id;
    while (items->Next(id))
        names.insert(GetDisplayName(&folder, id.get(), dntNormal));
    return names;
}

TShellFolderPtr BindPath(const std::string &path)
{
    TPidlHolder id;
    if (!GetDesktopFolder()->ParseDisplayName(nullptr, path, id))
        return nullptr;
    return GetDesktopFolder()->BindToObject(id.get());
}

std::uint32_t AttributesOf(const std::string &path)
{
    TPidlHolder id;
    if (!GetDesktopFolder()->ParseDisplayName(nullptr, path, id))
        return 0;
    return GetDesktopFolder()->GetAttributesOf(id.get(), TreeAttributeMask);
}

// Runs `fn` as an unprivileged user when we are root, so that permissions
// apply (root reads every folder).
template <typename Fn>
auto AsNobody(Fn fn)
{
    const bool root = ::geteuid() == 0;
    if (root && ::seteuid(65534) != 0)
        qFatal("seteuid failed");
    auto result = fn();
    if (root && ::seteuid(0) != 0)
        qFatal("seteuid back failed");
    return result;
}

} // namespace

class ShellNamespaceTest : public QObject
{
    Q_OBJECT
private slots:
    void desktopHoldsHomeAndComputer()
    {
        TShellFolderPtr desktop = GetDesktopFolder();
        auto items = desktop->EnumObjects(nullptr, shcontfFolders);
        QVERIFY(items);
        std::vector<std::string> names;
        TPidlHolder id;
        while (items->Next(id)) {
            names.push_back(GetDisplayName(desktop.get(), id.get(), dntNormal));
            std::string path;
            const bool hasPath = desktop->GetPathOf(id.get(), path);
            QCOMPARE(hasPath, names.back() == "Home");
        }
        QCOMPARE(names, (std::vector<std::string>{"Home", "Computer"}));
        QVERIFY(!id); // the end of the listing leaves no item behind
        QCOMPARE(Names(*desktop, shcontfNonFolders), std::set<std::string>{});

        TPidlHolder empty(CreatePIDL(2));
        QCOMPARE(GetDisplayName(desktop.get(), empty.get(), dntNormal), std::string("Desktop"));
        std::string path;
        QVERIFY(!GetPathFromIDList(empty.get(), path));
    }

    void computerListsTheUserVolumes()
    {
        TPidlHolder computerId;
        QVERIFY(GetSpecialFolderLocation(nullptr, csidlDrives, computerId));
        std::string path;
        QVERIFY(!GetPathFromIDList(computerId.get(), path)); // virtual
        TShellFolderPtr computer = GetDesktopFolder()->BindToObject(computerId.get());
        const std::uint32_t attrs = GetDesktopFolder()->GetAttributesOf(computerId.get(), TreeAttributeMask);
        QVERIFY(attrs & sfgaoFolder);
        QVERIFY(!(attrs & sfgaoFileSystem));
        QVERIFY(attrs & sfgaoFileSysAncestor);
        QVERIFY(computer);
        std::set<std::string> want;
        for (const MountEntry &m : UserVolumes(ReadMountTable()))
            want.insert(m.mountPoint);
        QCOMPARE(Names(*computer, shcontfFolders), want);
    }

    void parseGivesComputerVolumeSegmentsAndBack()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("a/b c/file.txt"));
        for (const std::string rel : {"a", "a/b c", "a/b c/file.txt"}) {
            TPidlHolder id;
            QVERIFY(GetDesktopFolder()->ParseDisplayName(nullptr, tree.path(rel), id));
            std::string path;
            QVERIFY(GetPathFromIDList(id.get(), path));
            QCOMPARE(path, tree.path(rel));
            // Computer, the volume, then one item per segment below it.
            const std::string volume = DrivePart(tree.path(rel), UserVolumes(ReadMountTable()));
            const int below = int(std::count(path.begin(), path.end(), '/')) -
                              int(std::count(volume.begin(), volume.end(), '/'));
            QCOMPARE(PIDLCount(id.get()), 2 + below);
        }
    }

    void parseRefusesWhatDoesNotExist_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing leaf") << "a/missing";
        QTest::newRow("missing middle") << "missing/a";
        QTest::newRow("through a file") << "a/f.txt/x";
        QTest::newRow("relative") << "";
    }
    void parseRefusesWhatDoesNotExist()
    {
        QFETCH(QString, path);
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("a/f.txt"));
        const std::string text = path.isEmpty() ? "a/f.txt" : tree.path(path.toStdString());
        TPidlHolder id = MakeItemID("stale"); // a failed parse leaves no list, not even this one
        QVERIFY(!GetDesktopFolder()->ParseDisplayName(nullptr, text, id));
        QVERIFY(!id);
    }

    void parseFoldsDotsAndSlashes()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("a/b"));
        TPidlHolder id;
        QVERIFY(GetDesktopFolder()->ParseDisplayName(nullptr, tree.path("a/./b/") + "/../b", id));
        std::string path;
        QVERIFY(GetPathFromIDList(id.get(), path));
        QCOMPARE(path, tree.path("a/b"));
    }

    void enumerateFoldersFilesAndHidden()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("top/sub"));
        QVERIFY(tree.createDir("top/.hidden"));
        QVERIFY(tree.createFile("top/file.txt"));
        QVERIFY(tree.createFile("top/.dotfile"));
        TShellFolderPtr top = BindPath(tree.path("top"));
        QVERIFY(top);
        QCOMPARE(Names(*top, shcontfFolders), std::set<std::string>{"sub"});
        QCOMPARE(Names(*top, shcontfFolders | shcontfIncludeHidden), (std::set<std::string>{"sub", ".hidden"}));
        QCOMPARE(Names(*top, shcontfNonFolders), std::set<std::string>{"file.txt"});
        QCOMPARE(Names(*top, shcontfNonFolders | shcontfFolders | shcontfIncludeHidden),
                 (std::set<std::string>{"sub", ".hidden", "file.txt", ".dotfile"}));
    }

    void compareOrdersByNameAndIsZeroOnlyForTheSameName()
    {
        QvlTest::TempTree tree;
        TShellFolderPtr folder = BindPath(tree.root());
        QVERIFY(folder);
        TPidlHolder a(MakeItemID("apple")), b(MakeItemID("Banana")), B(MakeItemID("banana")), a2(MakeItemID("apple"));
        QVERIFY(folder->CompareIDs(0, a.get(), b.get()) < 0);
        QVERIFY(folder->CompareIDs(0, b.get(), a.get()) > 0);
        QCOMPARE(folder->CompareIDs(0, a.get(), a2.get()), 0);
        // Case decides only between names that are otherwise equal, and
        // never makes them the same item.
        QVERIFY(folder->CompareIDs(0, b.get(), B.get()) != 0);
        QCOMPARE(folder->CompareIDs(0, b.get(), B.get()), -folder->CompareIDs(0, B.get(), b.get()));
    }

    void attributes_data()
    {
        QTest::addColumn<QString>("rel");
        QTest::addColumn<uint>("set");
        QTest::addColumn<uint>("clear");
        QTest::newRow("folder with subfolder") << "top" << uint(sfgaoFolder | sfgaoFileSystem | sfgaoHasSubfolder | sfgaoCanRename)
                                                << uint(sfgaoLink | sfgaoHidden);
        QTest::newRow("folder with files only") << "top/files" << uint(sfgaoFolder) << uint(sfgaoHasSubfolder);
        QTest::newRow("only hidden subfolder") << "top/hid" << uint(sfgaoFolder | sfgaoHasSubfolder) << 0u;
        QTest::newRow("hidden folder") << "top/.secret" << uint(sfgaoFolder | sfgaoHidden) << 0u;
        QTest::newRow("file") << "top/files/f.txt" << uint(sfgaoFileSystem) << uint(sfgaoFolder | sfgaoHasSubfolder);
        QTest::newRow("link to folder") << "top/linkdir" << uint(sfgaoFolder | sfgaoLink) << 0u;
        QTest::newRow("dangling link") << "top/dangling" << uint(sfgaoLink | sfgaoFileSystem) << uint(sfgaoFolder);
    }
    void attributes()
    {
        QFETCH(QString, rel);
        QFETCH(uint, set);
        QFETCH(uint, clear);
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("top/sub"));
        QVERIFY(tree.createFile("top/files/f.txt"));
        QVERIFY(tree.createDir("top/hid/.inner"));
        QVERIFY(tree.createDir("top/.secret"));
        QCOMPARE(::symlink(tree.path("top/sub").c_str(), tree.path("top/linkdir").c_str()), 0);
        QCOMPARE(::symlink(tree.path("nowhere").c_str(), tree.path("top/dangling").c_str()), 0);
        const std::uint32_t attrs = AttributesOf(tree.path(rel.toStdString()));
        QCOMPARE(attrs & set, std::uint32_t(set));
        QCOMPARE(attrs & clear, 0u);
        QCOMPARE(attrs & ~TreeAttributeMask, 0u);
    }

    void subfolderLookIsBounded()
    {
        // Thousands of files and no folder: the look gives up early and says
        // yes rather than listing everything.
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("big"));
        for (int i = 0; i < 600; ++i)
            QVERIFY(tree.createFile("big/f" + std::to_string(i)));
        QVERIFY(AttributesOf(tree.path("big")) & sfgaoHasSubfolder);
        QVERIFY(!(AttributesOf(tree.path("big/f1")) & sfgaoHasSubfolder));
    }

    void unreadableFolderCannotBeListed()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("open/closed/inner"));
        QCOMPARE(::chmod(tree.root().c_str(), 0755), 0);
        QCOMPARE(::chmod(tree.path("open").c_str(), 0755), 0);
        QCOMPARE(::chmod(tree.path("open/closed").c_str(), 0), 0);
        const bool listed = AsNobody([&] {
            TShellFolderPtr closed = BindPath(tree.path("open/closed"));
            return closed && closed->EnumObjects(nullptr, shcontfFolders) != nullptr;
        });
        // Its parent still names it, and it still says it may have
        // subfolders: the tree finds out when it opens it.
        const std::uint32_t attrs = AsNobody([&] { return AttributesOf(tree.path("open/closed")); });
        QCOMPARE(::chmod(tree.path("open/closed").c_str(), 0755), 0);
        QVERIFY(!listed);
        QVERIFY(attrs & sfgaoFolder);
        QVERIFY(attrs & sfgaoHasSubfolder);
    }

    void bindToFileFails()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("f.txt"));
        TShellFolderPtr folder = BindPath(tree.root());
        TPidlHolder file(MakeItemID("f.txt"));
        std::string error;
        QVERIFY(!folder->BindToObject(file.get(), &error));
        QVERIFY(!error.empty());
    }

    void displayNames()
    {
        QvlTest::TempTree tree;
        QVERIFY(tree.createDir("x/y"));
        TShellFolderPtr x = BindPath(tree.path("x"));
        TPidlHolder y(MakeItemID("y"));
        QCOMPARE(GetDisplayName(x.get(), y.get(), dntNormal), std::string("y"));
        QCOMPARE(GetDisplayName(x.get(), y.get(), dntInFolder), std::string("y"));
        QCOMPARE(GetDisplayName(x.get(), y.get(), dntForParsing), tree.path("x/y"));
    }

    void setNameOfRenamesFileSystemItemsOnly_data()
    {
        QTest::addColumn<QString>("folder"); // bound from the Desktop; "desktop" for the Desktop itself
        QTest::addColumn<QString>("item");   // relative to it, "/" between its items
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("renamed"); // the new ID's path below the tree, when renamed
        QTest::newRow("entry of a folder") << "a" << "b" << "c" << 0 << "a/c";
        QTest::newRow("entry two levels down") << "" << "a/b" << "c" << 0 << "a/c";
        QTest::newRow("name taken") << "a" << "b" << "taken" << EEXIST << "";
        QTest::newRow("not one name") << "a" << "b" << "x/y" << EINVAL << "";
        QTest::newRow("Home") << "desktop" << "home" << "c" << EPERM << "";
    }

    void setNameOfRenamesFileSystemItemsOnly()
    {
        QFETCH(QString, folder);
        QFETCH(QString, item);
        QFETCH(QString, name);
        QFETCH(int, error);
        QFETCH(QString, renamed);
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("a/b/inside"));
        QVERIFY(tree.createDir("a/taken"));
        TShellFolderPtr bound = folder == "desktop" ? GetDesktopFolder() : BindPath(tree.path(folder.toStdString()));
        QVERIFY(bound);
        TPidlHolder id;
        if (folder == "desktop") {
            auto listed = bound->EnumObjects(nullptr, shcontfFolders);
            QVERIFY(listed && listed->Next(id)); // Home comes first
        } else {
            QVERIFY(bound->ParseDisplayName(nullptr, item.toStdString(), id));
        }
        TPidlHolder fresh = MakeItemID("stale"); // released and replaced by the answer
        int got = -1;
        QCOMPARE(bound->SetNameOf(nullptr, id.get(), name.toStdString(), fresh, &got), error == 0);
        QCOMPARE(got, error);
        if (error) {
            QVERIFY(!fresh);
            QVERIFY(QFileInfo::exists(QvlTest::Q(tree.path("a/b/inside"))));
            return;
        }
        std::string path;
        QVERIFY(bound->GetPathOf(fresh.get(), path));
        QCOMPARE(QvlTest::Q(path), QvlTest::Q(tree.path(renamed.toStdString())));
        QCOMPARE(PIDLCount(fresh.get()), PIDLCount(id.get()));
        QVERIFY(QFileInfo::exists(QvlTest::Q(path + "/inside")));
    }

    void wellKnownRoots()
    {
        const std::string home = QFile::encodeName(QDir::homePath()).toStdString();
        QVERIFY(QDir().mkpath(QDir::homePath() + "/Desktop"));
        QVERIFY(QDir().mkpath(QDir::homePath() + "/Vorlagen"));
        QDir().mkpath(QDir::homePath() + "/.config");
        QFile dirs(QDir::homePath() + "/.config/user-dirs.dirs");
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("# written by a test\nXDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"\n");
        dirs.close();

        auto pathOf = [](int csidl) {
            TPidlHolder id = MakeItemID("stale"); // never taken for the answer
            if (!GetSpecialFolderLocation(nullptr, csidl, id))
                return id ? std::string("<stale>") : std::string("<none>");
            std::string path;
            if (!GetPathFromIDList(id.get(), path))
                path = "<virtual>";
            return path;
        };
        QCOMPARE(pathOf(csidlDesktop), std::string("<virtual>"));
        QCOMPARE(pathOf(csidlDrives), std::string("<virtual>"));
        QCOMPARE(pathOf(csidlDesktopDirectory), home + "/Desktop");
        QCOMPARE(pathOf(csidlTemplates), home + "/Vorlagen");
        QCOMPARE(pathOf(csidlPersonal), std::string("<none>")); // no Documents folder here
        QCOMPARE(pathOf(csidlBitBucket), std::string("<none>")); // no trash yet
        const std::string trashFiles = QFile::encodeName(qEnvironmentVariable("XDG_DATA_HOME")).toStdString() + "/Trash/files";
        QVERIFY(QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(trashFiles))));
        QCOMPARE(pathOf(csidlBitBucket), trashFiles);
        QCOMPARE(pathOf(csidlPrinters), std::string("<none>"));
        QCOMPARE(pathOf(csidlControls), std::string("<none>"));
    }
};

QVL_TEST_MAIN(ShellNamespaceTest)
#include "ShellNamespaceTest.moc"
