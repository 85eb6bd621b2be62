// The version reader on real program files: this test carries the block as
// the program does; other files have none.
#include "tests/common/QvlTestMain.h"
#include "platform/QvlVersion.h"
#include "platform/QvlVersionBlock.h"
#include "tests/common/TempTree.h"

#include <QCoreApplication>

#include <cerrno>
#include <vector>

class QvlVersionTest : public QObject
{
    Q_OBJECT

private:
    std::vector<char> ReadBlock(const std::string &path)
    {
        int error = 0;
        const std::uint32_t size = GetFileVersionInfoSize(path, error);
        std::vector<char> block(size);
        if (size == 0 || !GetFileVersionInfo(path, size, block.data(), error))
            block.clear();
        return block;
    }

    static std::string Query(const std::vector<char> &block, const std::string &key, bool *found = nullptr)
    {
        std::string value;
        const bool ok = VerQueryValue(block.data(), std::uint32_t(block.size()),
                                      "\\StringFileInfo\\040904E4\\" + key, value);
        if (found)
            *found = ok;
        return value;
    }

private slots:
    void theProgramReadsItsOwnFile()
    {
        QCOMPARE(VersionProgramFile(), std::string("/proc/self/exe"));
        const std::vector<char> block = ReadBlock(VersionProgramFile());
        QVERIFY(block.size() > sizeof(TVersionFixedInfo));
        TVersionFixedInfo fixed;
        std::memcpy(&fixed, block.data(), sizeof fixed);
        QCOMPARE(fixed.fileVersion[0], std::uint16_t(2));
        QCOMPARE(fixed.fileVersion[3], std::uint16_t(21));
        QCOMPARE(fixed.productVersion[2], std::uint16_t(4));
        QCOMPARE(fixed.fileFlags, 0x2u);
        QCOMPARE(fixed.fileOS, 0x4u);
        QCOMPARE(fixed.fileType, 0x1u);
    }

    void valuesOfTheResource_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("description") << "FileDescription" << "Verify files by doing a byte by byte compare.";
        QTest::newRow("file version") << "FileVersion" << "2.1.4.21";
        QTest::newRow("internal name") << "InternalName" << "Quorvel New";
        QTest::newRow("trademarks as asked") << "LegalTradeMarks" << "Quorvel\u00AE";
        QTest::newRow("original name as asked") << "OriginalFileName" << "Quorvel2";
        QTest::newRow("product") << "ProductName" << "Quorvel";
        QTest::newRow("product version") << "ProductVersion" << "2.1";
        QTest::newRow("contact") << "Comments" << "Questions and news: https://quorvel.org/";
    }

    void valuesOfTheResource()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        const std::vector<char> block = ReadBlock(VersionProgramFile());
        bool found = false;
        QCOMPARE(QString::fromStdString(Query(block, key.toStdString(), &found)), value);
        QVERIFY(found);
    }

    void unknownKeysAndTablesAreNotFound()
    {
        const std::vector<char> block = ReadBlock(VersionProgramFile());
        bool found = true;
        Query(block, "PrivateBuild", &found);
        QVERIFY(!found);
        std::string value;
        QVERIFY(!VerQueryValue(block.data(), std::uint32_t(block.size()), "\\StringFileInfo\\040704B0\\FileVersion", value));
        QVERIFY(!VerQueryValue(block.data(), std::uint32_t(block.size()), "\\VarFileInfo\\Translation", value));
    }

    void aBlockCutShortIsReadNoFurther()
    {
        const std::vector<char> block = ReadBlock(VersionProgramFile());
        // Cut inside the value of the last key: its NUL is gone.
        const std::string whole(block.data(), block.size());
        const auto comments = whole.find("Comments");
        QVERIFY(comments != std::string::npos);
        const std::vector<char> cut(block.begin(), block.begin() + std::ptrdiff_t(comments + 12));
        bool found = true;
        Query(cut, "Comments", &found);
        QVERIFY(!found);
        QCOMPARE(Query(cut, "FileVersion"), std::string("2.1.4.21"));
    }

    void filesWithoutTheBlock_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("missing file") << "missing" << ENOENT;
        QTest::newRow("not a program") << "text" << ENOEXEC;
        QTest::newRow("a program without the block") << "program" << ENODATA;
    }

    void filesWithoutTheBlock()
    {
        QFETCH(QString, kind);
        QFETCH(int, error);
        QvlTest::TempTree tree;
        QVERIFY(tree.createFile("text", "#!/bin/sh\necho hello\n"));
        std::string path = tree.path(kind.toStdString());
        if (kind == "program") {
            path = "/bin/sh";
            if (!QFile::exists("/bin/sh"))
                QSKIP("no /bin/sh to read");
        }
        int got = 0;
        QCOMPARE(GetFileVersionInfoSize(path, got), 0u);
        QCOMPARE(got, error);
        char buffer[64];
        got = 0;
        QVERIFY(!GetFileVersionInfo(path, sizeof buffer, buffer, got));
        QCOMPARE(got, error);
    }
};

QVL_TEST_CORE_MAIN(QvlVersionTest)
#include "QvlVersionTest.moc"
