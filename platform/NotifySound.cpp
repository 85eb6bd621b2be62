#include "platform/NotifySound.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace {

// The sound theme's names for a notification, best first. A desktop without
// the freedesktop theme may still have one of the later ones.
const char *const kSoundNames[] = {
    "sounds/freedesktop/stereo/message.oga",
    "sounds/freedesktop/stereo/message-new-instant.oga",
    "sounds/freedesktop/stereo/dialog-information.oga",
    "sounds/freedesktop/stereo/bell.oga",
};

std::string FindSoundFile()
{
    for (const char *name : kSoundNames) {
        const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                     QString::fromLatin1(name));
        if (!found.isEmpty() && QFileInfo(found).isReadable())
            return QFile::encodeName(found).toStdString();
    }
    return {};
}

} // namespace

TNotifySound FindNotifySound()
{
    const std::string file = FindSoundFile();
    if (file.empty())
        return {};
    // paplay plays through PulseAudio or PipeWire's Pulse server, pw-play
    // through PipeWire itself, canberra-gtk-play through whatever libcanberra
    // was built for.
    const char *const players[] = {"paplay", "pw-play", "canberra-gtk-play"};
    for (const char *player : players) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(player));
        if (path.isEmpty())
            continue;
        TNotifySound sound;
        sound.program = QFile::encodeName(path).toStdString();
        if (std::string(player) == "canberra-gtk-play")
            sound.arguments = {"--file=" + file};
        else
            sound.arguments = {file};
        return sound;
    }
    return {};
}

bool PlayNotifySound()
{
    const TNotifySound sound = FindNotifySound();
    if (sound.program.empty())
        return false;
    QStringList args;
    for (const std::string &a : sound.arguments)
        args << QFile::decodeName(QByteArray::fromStdString(a));
    // Detached: the player outlives this call and is never waited for; its
    // output goes nowhere.
    QProcess player;
    player.setProgram(QFile::decodeName(QByteArray::fromStdString(sound.program)));
    player.setArguments(args);
    player.setStandardOutputFile(QProcess::nullDevice());
    player.setStandardErrorFile(QProcess::nullDevice());
    player.setStandardInputFile(QProcess::nullDevice());
    return player.startDetached();
}
