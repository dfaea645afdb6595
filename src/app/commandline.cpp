#include "app/commandline.h"

#include "text/fileutil.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The value of option `name` at i, given as "--name VALUE" (i then moves on
// to the value) or "--name=VALUE"; empty when there is none.
QString optionValue(const QStringList &arguments, qsizetype &i, QStringView name)
{
    const QString &arg = arguments[i];
    if (arg == name)
        return i + 1 < arguments.size() ? arguments[++i] : QString();
    return arg.mid(name.size() + 1);
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    CommandLine result;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (!optionsEnded && arg == u"-") {
            result.standardInput = true;
            result.skipReopen = true;
            continue;
        }
        if (optionsEnded || !arg.startsWith(u'-')) {
            result.files.append(arg);
            result.skipReopen = true;
            continue;
        }
        if (arg == u"--") {
            optionsEnded = true;
            result.skipReopen = true;
        } else if (arg == u"--help" || arg == u"-h") {
            result.help = true;
            result.skipReopen = true;
        } else if (arg == u"--new-window") {
            result.newWindow = true;
        } else if (arg == u"--version") {
            result.version = true;
            result.skipReopen = true;
        } else if (arg == u"--command" || arg.startsWith(u"--command=")) {
            const QString value = optionValue(arguments, i, u"--command");
            if (value.trimmed().isEmpty() && result.error.isEmpty())
                result.error = QStringLiteral("Option --command needs a command line");
            else
                result.commands.append(value);
            result.skipReopen = true;
        } else if (arg == u"--config" || arg.startsWith(u"--config=")) {
            const QString value = optionValue(arguments, i, u"--config");
            if (value.isEmpty() && result.error.isEmpty())
                result.error = QStringLiteral("Option --config needs a file name");
            result.configPath = value;
        } else {
            if (result.error.isEmpty())
                result.error = QStringLiteral("Unknown option: %1").arg(arg);
            result.skipReopen = true;
        }
    }
    return result;
}

QStringList withoutToolkitOptions(const QStringList &arguments)
{
    // Qt's application options; the first group takes the next argument as
    // its value unless it is given as -name=value.
    static const QStringList kWithValue = {
        "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
        "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
        "display",     "geometry",           "title",         "name",   "visual"};
    static const QStringList kFlags = {"reverse", "widgetcount", "nograb",
                                       "dograb",  "testability", "qmljsdebugger"};
    QStringList result;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == u"--") {
            result += arguments.mid(i);
            break;
        }
        // Qt reads "--style" like "-style".
        QString name = arg.startsWith(u"--")  ? arg.mid(2)
                       : arg.startsWith(u'-') ? arg.mid(1)
                                              : QString();
        const qsizetype equals = name.indexOf(u'=');
        const bool inlineValue = equals >= 0;
        if (inlineValue)
            name.truncate(equals);
        if (!name.isEmpty() && kWithValue.contains(name)) {
            if (!inlineValue)
                ++i; // its value
            continue;
        }
        if (!name.isEmpty() && kFlags.contains(name))
            continue;
        result.append(arg);
    }
    return result;
}

QString commandLineHelp()
{
    return QStringLiteral("Usage: ravelin [OPTION]... [--] [FILE]...\n"
                          "Views log files, each in a tab of its own.\n"
                          "With FILE -, or with no FILE and a pipe on standard input,\n"
                          "reads standard input into a tab captioned stdin.\n"
                          "\n"
                          "  --command CMD  show the output of CMD, run by /bin/sh -c\n"
                          "  --config FILE  use FILE as the settings file\n"
                          "  --help         show this help and exit\n"
                          "  --new-window   open a window of its own, not tabs in the one running\n"
                          "  --version      show the version and exit\n"
                          "  --             treat every later argument as a file\n");
}

QString resolveSettingsPath(const QString &configArg, const QString &programDir)
{
    static const QString kFileName = QStringLiteral("Ravelin.ini");
    // Absolute, so that the path keeps meaning the same file whatever the
    // working folder is when the settings are saved.
    if (!configArg.isEmpty())
        return absoluteFileName(configArg);

    const QString portable = QDir(programDir).filePath(kFileName);
    if (QFileInfo(portable).isFile())
        return portable;

    // Relative values are invalid by the XDG rules and are ignored.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(base + QStringLiteral("/ravelin/") + kFileName);
}
