// The notification sound: found in the sound theme under the data folders,
// played by the first player on $PATH, and never an error when either is
// missing.
#include "platform/NotifySound.h"

#include "tests/common/QvlTestMain.h"
#include "tests/common/TempTree.h"

#include <QFile>

#include <cstdlib>

class NotifySoundTest : public QObject
{
    Q_OBJECT

private:
    QvlTest::TempTree tree;

    // A fake player that writes its arguments to `<name>.ran`.
    void MakePlayer(const std::string &name)
    {
        const std::string path = tree.path("bin/" + name);
        QVERIFY(tree.createFile("bin/" + name,
                                QByteArray("#!/bin/sh\necho \"$@\" > \"$0.ran\"\n")));
        QFile::setPermissions(QString::fromStdString(path),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void Environment(bool sound, bool player)
    {
        ::setenv("XDG_DATA_HOME", tree.path("nothing").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", tree.path(sound ? "share" : "empty").c_str(), 1);
        ::setenv("PATH", tree.path(player ? "bin" : "empty").c_str(), 1);
    }

    std::string SoundFile() const { return tree.path("share/sounds/freedesktop/stereo/message.oga"); }

private slots:
    void initTestCase()
    {
        QVERIFY(tree.createFile("share/sounds/freedesktop/stereo/message.oga", "OggS"));
        QVERIFY(tree.createDir("empty"));
    }

    void nothingToPlay_data()
    {
        QTest::addColumn<bool>("sound");
        QTest::addColumn<bool>("player");
        QTest::newRow("no sound file") << false << true;
        QTest::newRow("no player") << true << false;
        QTest::newRow("neither") << false << false;
    }

    void nothingToPlay()
    {
        QFETCH(bool, sound);
        QFETCH(bool, player);
        MakePlayer("paplay");
        Environment(sound, player);
        QVERIFY(FindNotifySound().program.empty());
        QVERIFY(!PlayNotifySound());
    }

    void playsThroughTheFirstPlayerFound_data()
    {
        QTest::addColumn<QString>("player");
        QTest::addColumn<QString>("argument");
        QTest::newRow("paplay") << "paplay" << QString();
        QTest::newRow("pw-play") << "pw-play" << QString();
        QTest::newRow("canberra-gtk-play") << "canberra-gtk-play" << "--file=";
    }

    void playsThroughTheFirstPlayerFound()
    {
        QFETCH(QString, player);
        QFETCH(QString, argument);
        QDir(QString::fromStdString(tree.path("bin"))).removeRecursively();
        MakePlayer(player.toStdString());
        Environment(true, true);
        const TNotifySound sound = FindNotifySound();
        QCOMPARE(QString::fromStdString(sound.program), QString::fromStdString(tree.path("bin/")) + player);
        QCOMPARE(sound.arguments.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(sound.arguments[0]), argument + QString::fromStdString(SoundFile()));
        QVERIFY(PlayNotifySound());
        QFile ran(QString::fromStdString(sound.program) + ".ran");
        QTRY_VERIFY(ran.exists() && ran.size() > 0);
    }
};

QVL_TEST_CORE_MAIN(NotifySoundTest)
#include "NotifySoundTest.moc"
