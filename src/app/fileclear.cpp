#include "app/fileclear.h"

#include "text/fileutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool clearRegularFile(const QString &fileName, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // No O_TRUNC and no O_CREAT: nothing happens to a file until it is known
    // to be a regular one, and a missing one is not created. O_NONBLOCK keeps
    // a FIFO without a reader from blocking the open.
    const int fd =
        ::open(fileNameToBytes(fileName).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(errnoText(errno));
    struct stat st;
    bool cleared = false;
    QString reason;
    if (::fstat(fd, &st) != 0)
        reason = errnoText(errno);
    else if (!S_ISREG(st.st_mode))
        reason = QStringLiteral("Not a regular file");
    else if (::ftruncate(fd, 0) != 0)
        reason = errnoText(errno);
    else
        cleared = true;
    ::close(fd);
    return cleared || fail(reason);
}

QString findHelpFile(const QString &programPath)
{
    const QFileInfo program(programPath);
    const QString besideProgram =
        program.absolutePath() + u'/' + program.completeBaseName() + QStringLiteral(".html");
    const QString installed =
        QDir::cleanPath(program.absolutePath() + QStringLiteral("/../share/doc/ravelin/help.html"));
    for (const QString &candidate : {besideProgram, installed})
        if (QFileInfo(candidate).isFile())
            return candidate;
    return QString();
}
