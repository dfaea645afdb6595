#pragma once

#include <QString>

// Truncates an existing regular file to zero length, sharing it with the
// programs that keep it open. A folder, FIFO, device or socket is left alone
// and counts as a failure, as does a missing file. On failure, error (when
// given) gets the reason.
bool clearRegularFile(const QString &fileName, QString *error = nullptr);

// Where the help page is: the program's path with ".html" in place of its
// extension, else the installed copy under share/doc/ravelin beside the
// program's bin folder. Empty when neither exists.
QString findHelpFile(const QString &programPath);
