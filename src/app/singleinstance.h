#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// One window for every file opened: a start while the window runs hands its
// files to it through a local socket of the user's and ends. One window a
// settings file, so a --config of its own starts a window of its own.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket's name for a settings file: the user's and the file's.
    static QString socketName(const QString &settingsPath);
    // Gives the files (absolute names) to the window listening on name;
    // false when none answers in time, and a window must start here.
    static bool handOver(const QString &name, const QStringList &files, int timeoutMs = 2000);
    // Listens on name, taking over a socket that a crashed window left.
    bool listen(const QString &name);

    static constexpr int maxFiles = 300;
    static constexpr int maxNameBytes = 64 * 1024;

Q_SIGNALS:
    // Files another start handed over; an empty list asks to be shown.
    void filesReceived(const QStringList &files);

private:
    void readClient(class QLocalSocket *socket);

    QLocalServer *m_server = nullptr;
};
