#pragma once

// The folder the player keeps its settings and content in. Where the program is installed
// for all users (a package, or a folder the user can not write to), each user, root too, gets
// a folder of their own, filled from the installed content on first start.

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

// Where a program folder's content is installed.
struct Installed
{
    QString content;     // the content a new program folder is filled from
    QString groupFile;   // a lan.ini prepared for every user, copied into a new folder if there
    bool beside = false; // the content is in the program's own folder
    // Where an earlier version kept this user's settings and content (for root, the folder
    // the program was installed in until 0.0.8); a new program folder takes them from there.
    QString earlier;
};

// The installed content of a program in `programDir`: that folder itself when it holds the
// content (a build, or a program folder copied anywhere); else the package's content folder,
// `sharedContent` relative to the program's folder, with the group file in `adminFolder`.
Installed findInstalled(const QString& programDir, const QString& sharedContent,
                        const QString& adminFolder);
// The same, for this program as it was built to be installed; for root, with the folder an
// earlier version kept root's settings in.
Installed findInstalled(const QString& programDir);

// The folder to use: `requested` (the --folder option or LUMARET_FOLDER) when given; else
// the program's own folder when it holds the content and this user can write to it; else
// "lumaret" in `dataHome` (the XDG data folder). A package's files are never the folder.
QString choose(const QString& requested, const Installed& installed, const QString& dataHome);

// Makes sure `folder` exists: a missing one is created with the installed content, and over it
// what the user kept in the earlier version's folder, whole or not at all; one that is there
// is left as it is. False, with a log line, when it can not be.
bool prepare(const QString& folder, const Installed& installed);

// Where the show goes on when the chosen folder can not be made: the installed content in place
// where it is the program's own; where it is a package's, a folder made from it in `temp`
// ("lumaret-<user id>"), so that no one, root included, writes into the package's files.
QString fallback(const Installed& installed, const QString& temp);

// The XDG data folder: $XDG_DATA_HOME, or ~/.local/share.
QString dataHome();

} // namespace programfolder
