#include "app/commandline.h"

#include <QDir>
#include <QFileInfo>

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (optionsEnded || !arg.startsWith(u'-')) {
            result.Files.append(arg);
            result.SkipReopen = true;
            continue;
        }
        if (arg == u"--") {
            optionsEnded = true;
            result.SkipReopen = true;
        } else if (arg == u"--help" || arg == u"-h") {
            result.Help = true;
            result.SkipReopen = true;
        } else if (arg == u"--version") {
            result.Version = true;
            result.SkipReopen = true;
        } else if (arg == u"--config" || arg.startsWith(u"--config=")) {
            QString value;
            if (arg == u"--config") {
                if (i + 1 < arguments.size())
                    value = arguments[++i];
            } else {
                value = arg.mid(int(qstrlen("--config=")));
            }
            if (value.isEmpty() && result.Error.isEmpty())
                result.Error = QStringLiteral("Option --config needs a file name");
            result.ConfigPath = value;
        } else {
            if (result.Error.isEmpty())
                result.Error = QStringLiteral("Unknown option: %1").arg(arg);
            result.SkipReopen = true;
        }
    }
    return result;
}

QString CommandLineHelp()
{
    return QStringLiteral("Usage: ravelin [OPTION]... [--] [FILE]...\n"
                          "Views log files, each in a tab of its own.\n"
                          "\n"
                          "  --config FILE  use FILE as the settings file\n"
                          "  --help         show this help and exit\n"
                          "  --version      show the version and exit\n"
                          "  --             treat every later argument as a file\n");
}

QString ResolveSettingsPath(const QString &configArg, const QString &programDir)
{
    static const QString kFileName = QStringLiteral("Ravelin.ini");
    // Absolute, so that the path keeps meaning the same file whatever the
    // working folder is when the settings are saved.
    if (!configArg.isEmpty())
        return QFileInfo(configArg).absoluteFilePath();

    const QString portable = QDir(programDir).filePath(kFileName);
    if (QFileInfo(portable).isFile())
        return portable;

    // Relative values are invalid by the XDG rules and are ignored.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/ravelin/") + kFileName);
}
