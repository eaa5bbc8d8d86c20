#pragma once

// The folder the player keeps its settings and content in. Where the program is installed
// for all users (not writable), each user gets a folder of their own, filled from the
// installed content on first start.

#include <QString>

namespace programfolder {

// The content a program folder starts with, copied from the installed one.
// lan.ini is there only where someone prepared a group for every user of the PC.
inline constexpr const char* Content[] = {"lumaret.ini",
                                          "lan.ini",
                                          "img",
                                          "ani",
                                          "save",
                                          "help",
                                          "on.bmp",
                                          "off.bmp",
                                          "urgent-on.bmp",
                                          "urgent-off.bmp",
                                          "最初にお読みください.txt"};

// The folder to use: `requested` (the --folder option or LUMARET_FOLDER) when given; else
// the installed folder when this user can write to it; else "lumaret" in `dataHome` (the
// XDG data folder).
QString choose(const QString& requested, const QString& installed, const QString& dataHome);

// Makes sure `folder` exists: a missing one is created with the installed content, whole or
// not at all; one that is there is left as it is. False, with a log line, when it can not be.
bool prepare(const QString& folder, const QString& installed);

// The XDG data folder: $XDG_DATA_HOME, or ~/.local/share.
QString dataHome();

} // namespace programfolder
