// The notification sound played as the delete confirmation appears: the sound
// theme's message sound, played once by a sound player of the desktop in a
// process of its own. It never blocks and never fails a run: when no sound
// file or no player can be found, the caller is told so and may beep instead.
#pragma once

#include <string>
#include <vector>

// How the sound would be played: a player program and its arguments. Empty
// program when there is no sound file or no player.
struct TNotifySound {
    std::string program;
    std::vector<std::string> arguments;
};

// Finds the message sound of the freedesktop sound theme under the data
// folders ($XDG_DATA_HOME, $XDG_DATA_DIRS) and a player on $PATH (paplay,
// pw-play, canberra-gtk-play).
TNotifySound FindNotifySound();

// Starts playing the sound without waiting for it. False when there was
// nothing to play or the player could not be started.
bool PlayNotifySound();
