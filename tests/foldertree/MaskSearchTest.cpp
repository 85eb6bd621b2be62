// The mask language with its quirks: the appended full stop, no
// backtracking, blanks kept, case ignored.
#include "controls/foldertree/MaskSearch.h"

#include "tests/common/QvlTestMain.h"

class MaskSearchTest : public QObject
{
    Q_OBJECT
private slots:
    void buildSplitsAtSemicolonsOnly()
    {
        TMaskList list;
        BuildMask("", list);
        QCOMPARE(list, TMaskList{"*"});
        BuildMask("*.TXT; *.doc", list);
        QCOMPARE(list, (TMaskList{" *.doc", "*.txt"}));
        BuildMask("a;;b;", list);
        QCOMPARE(list, (TMaskList{"", "a", "b"}));
    }

    void matches_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("match");
        QTest::newRow("empty mask matches all") << "" << "/x/anything" << true;
        QTest::newRow("full path ending .txt") << "*.txt" << "/home/u/notes.txt" << true;
        QTest::newRow("bare name needs whole path") << "report.txt" << "/home/u/report.txt" << false;
        QTest::newRow("bare name equal to path") << "report.txt" << "report.txt" << true;
        QTest::newRow("case ignored") << "*.TXT" << "/A/B.tXt" << true;
        QTest::newRow("star dot matches no extension") << "*." << "/a/readme" << true;
        QTest::newRow("star dot not with dotted folder") << "*." << "/a.d/readme" << false;
        QTest::newRow("a*b*c.txt") << "a*b*c.txt" << "aXbYbZc.txt" << true;
        QTest::newRow("no backtracking") << "*a?c*" << "abxayc.txt" << false;
        QTest::newRow("? and appended stop") << "?" << "a" << false;
        QTest::newRow("?? and appended stop") << "??" << "a" << true;
        QTest::newRow("*ab*ab on abab") << "*ab*ab" << "abab" << false;
        QTest::newRow("? needs a character") << "*.tx?" << "/a/b.tx" << false;
        QTest::newRow("? at the end") << "*.tx?" << "/a/b.txt" << true;
        QTest::newRow("trailing star") << "/a/*" << "/a/whatever.bin" << true;
        QTest::newRow("trailing star after mismatch") << "/b/*" << "/a/whatever.bin" << false;
        QTest::newRow("blank after semicolon") << "*.txt; *.doc" << "/a/b.doc" << false;
        QTest::newRow("blank-led name") << "*.txt; *.doc" << " b.doc" << true;
        QTest::newRow("empty pattern never matches") << "x;;y" << "" << false;
        QTest::newRow("star dot star") << "*.*" << "noext" << true;
        QTest::newRow("literal longer than rest") << "abc*" << "ab" << false;
        QTest::newRow("last literal shorter name") << "*abcdef" << "ab" << false;
        QTest::newRow("question mark middle") << "a?c.txt" << "abc.txt" << true;
    }
    void matches()
    {
        QFETCH(QString, mask);
        QFETCH(QString, name);
        QFETCH(bool, match);
        TMaskList list;
        BuildMask(mask.toStdString(), list);
        QCOMPARE(FileMatches(name.toStdString(), &list), match);
    }

    void noListOrEmptyListMatches()
    {
        TMaskList empty;
        QVERIFY(FileMatches("x", nullptr));
        QVERIFY(FileMatches("x", &empty));
    }

    void charactersNotBytes()
    {
        // One '?' stands for one character, however many bytes it takes.
        TMaskList list;
        BuildMask("?.txt", list);
        QVERIFY(FileMatches("\xc3\xa9.txt", &list));
        BuildMask("\xc3\x89*", list); // upper-case E acute
        QVERIFY(FileMatches("\xc3\xa9t\xc3\xa9", &list));
    }
};

QVL_TEST_CORE_MAIN(MaskSearchTest)
#include "MaskSearchTest.moc"
