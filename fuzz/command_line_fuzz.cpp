// The command line: what a valid one asks for, written out as canonical
// arguments and parsed again, asks for the same; files keep their order
// and every argument after "--" is one; taking out the toolkit's options
// keeps the rest in order and everything from "--" on.
//
// Input: the arguments, each ended by a NUL.
#include "inputbytes.h"

#include "app/commandline.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QStringList &arguments)
{
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(arguments.join(QStringLiteral(" | "))));
    std::abort();
}

bool isSubsequence(const QStringList &part, const QStringList &whole)
{
    qsizetype i = 0;
    for (const QString &arg : whole)
        if (i < part.size() && part[i] == arg)
            ++i;
    return i == part.size();
}

bool endsWith(const QStringList &list, const QStringList &tail)
{
    return list.size() >= tail.size() && list.mid(list.size() - tail.size()) == tail;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputBytes in(data, size);
    QStringList arguments;
    while (in.left() > 0 && arguments.size() < 16) {
        const std::string_view arg = in.takeUntilNul();
        arguments += QString::fromUtf8(arg.data(), qsizetype(arg.size()));
    }

    // A "--" that is no option's value ends the options, for the toolkit
    // ("-style VALUE") and for the program ("--config FILE").
    const QStringList kept = withoutToolkitOptions(arguments);
    const qsizetype keptDashes = kept.indexOf(QStringLiteral("--"));
    if (!isSubsequence(kept, arguments) ||
        (keptDashes >= 0 && !endsWith(arguments, kept.mid(keptDashes))))
        fail("toolkit options taken out wrongly", arguments);
    qsizetype dashes = -1;
    for (qsizetype i = 0; i < arguments.size() && dashes < 0; ++i) {
        if (arguments[i] == u"--config" || arguments[i] == u"--command")
            ++i;
        else if (arguments[i] == u"--")
            dashes = i;
    }

    const CommandLine line = parseCommandLine(arguments);
    if (!isSubsequence(line.files, arguments))
        fail("files not in the order given", arguments);
    if (dashes >= 0 && !endsWith(line.files, arguments.mid(dashes + 1)))
        fail("an argument after -- is not a file", arguments);
    for (const QString &file :
         line.files.mid(0, line.files.size() - (dashes >= 0 ? arguments.size() - dashes - 1 : 0)))
        if (file.startsWith(u'-'))
            fail("an option taken for a file", arguments);
    if (!line.error.isEmpty())
        return 0;

    QStringList canonical;
    if (line.help)
        canonical += QStringLiteral("--help");
    if (line.version)
        canonical += QStringLiteral("--version");
    if (line.newWindow)
        canonical += QStringLiteral("--new-window");
    if (!line.configPath.isEmpty())
        canonical += {QStringLiteral("--config"), line.configPath};
    if (line.standardInput)
        canonical += QStringLiteral("-");
    for (const QString &command : line.commands)
        canonical += QStringLiteral("--command=") + command;
    canonical += QStringLiteral("--");
    canonical += line.files;
    const CommandLine again = parseCommandLine(canonical);
    if (!again.error.isEmpty() || again.files != line.files ||
        again.configPath != line.configPath || again.standardInput != line.standardInput ||
        again.commands != line.commands || again.newWindow != line.newWindow ||
        again.help != line.help || again.version != line.version)
        fail("written out and parsed again, the line asks for something else", arguments);
    return 0;
}
