#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. An argument that begins with "-" is an
// option and never a file; after "--" every argument is a file.
struct CommandLine
{
    QStringList Files;  // in the order given
    QString ConfigPath; // --config FILE or --config=FILE; empty when not given
    bool Help = false;
    bool Version = false;
    // Whether the last logs or session must not be reopened: any argument
    // other than --config counts, as a file name or an option would.
    bool SkipReopen = false;
    QString Error; // text for main() to print; empty when the line is valid
};

// Parses the arguments that follow the program name.
CommandLine ParseCommandLine(const QStringList &arguments);

// The arguments without the toolkit's own options (-style fusion,
// -platform xcb, ...), which the application object takes out of argv. Lets
// the command line be checked before a display is opened.
QStringList WithoutToolkitOptions(const QStringList &arguments);

// The usage text that --help prints.
QString CommandLineHelp();

// The settings file: the --config file when given; else "Ravelin.ini" beside
// the program when that file exists (portable use); else
// $XDG_CONFIG_HOME/ravelin/Ravelin.ini, ~/.config when that is unset.
QString ResolveSettingsPath(const QString &configArg, const QString &programDir);
