#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. An argument that begins with "-" is an
// option and never a file; after "--" every argument is a file.
struct CommandLine
{
    QStringList files;          // in the order given
    QString configPath;         // --config FILE or --config=FILE; empty when not given
    bool standardInput = false; // "-": read standard input into a tab
    QStringList commands;       // --command CMD, each in a tab of its own
    bool newWindow = false;     // --new-window: not into the window already running
    bool help = false;
    bool version = false;
    // Whether the last logs or session must not be reopened: any argument
    // other than --config counts, as a file name or an option would.
    bool skipReopen = false;
    QString error; // text for main() to print; empty when the line is valid
};

// Parses the arguments that follow the program name.
CommandLine parseCommandLine(const QStringList &arguments);

// The arguments without the toolkit's own options (-style fusion,
// -platform xcb, ...), which the application object takes out of argv. Lets
// the command line be checked before a display is opened.
QStringList withoutToolkitOptions(const QStringList &arguments);

// The usage text that --help prints.
QString commandLineHelp();

// The settings file: the --config file when given; else "Ravelin.ini" beside
// the program when that file exists (portable use); else
// $XDG_CONFIG_HOME/ravelin/Ravelin.ini, ~/.config when that is unset.
QString resolveSettingsPath(const QString &configArg, const QString &programDir);
