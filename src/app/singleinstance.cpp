#include "app/singleinstance.h"

#include "text/fileutil.h"
#include "text/guard.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <unistd.h>

namespace {

// The names of the files as bytes: any name a file may have goes whole,
// line breaks and bytes that are not UTF-8 included.
QByteArray encode(const QStringList &files)
{
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << quint32(files.size());
    for (const QString &file : files)
        out << fileNameToBytes(file);
    return message;
}

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketName(const QString &settingsPath)
{
    const QByteArray hash =
        QCryptographicHash::hash(fileNameToBytes(settingsPath), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QStringLiteral("ravelin-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::handOver(const QString &name, const QStringList &files, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray message = encode(files);
    QByteArray framed;
    QDataStream(&framed, QIODevice::WriteOnly) << quint32(message.size());
    socket.write(framed + message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Taken once the window says so; a window that hangs is no window.
    return socket.waitForReadyRead(timeoutMs) && socket.read(1) == "k";
}

bool SingleInstance::listen(const QString &name)
{
    // Two starts at the same moment: one at a time looks and listens.
    QLockFile lock(QDir::temp().filePath(name + QStringLiteral(".lock")));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(3000))
        return false;
    // A window runs already: its socket stays its own (a listen would
    // replace the socket file).
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500))
        return false;
    // Nobody answers on it: a window that died left it behind.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    // Only this user may hand files over.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, guarded([this] {
                while (QLocalSocket *socket = m_server->nextPendingConnection()) {
                    connect(socket, &QLocalSocket::disconnected, socket,
                            &QLocalSocket::deleteLater);
                    connect(socket, &QLocalSocket::readyRead, this,
                            guarded([this, socket] { readClient(socket); }));
                }
            }));
    return true;
}

void SingleInstance::readClient(QLocalSocket *socket)
{
    const QByteArray head = socket->peek(4);
    if (head.size() < 4)
        return;
    quint32 length = 0;
    QDataStream(head) >> length;
    // Bounded: whatever connects may send anything.
    if (length > quint32(maxFiles) * (maxNameBytes + 4) + 4) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(length) + 4)
        return; // the rest is on its way
    socket->read(4);
    QDataStream in(socket->read(length));
    quint32 count = 0;
    in >> count;
    if (count > quint32(maxFiles)) {
        socket->abort();
        return;
    }
    QStringList files;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QByteArray name;
        in >> name;
        if (!name.isEmpty() && name.size() <= maxNameBytes)
            files << fileNameFromBytes(name);
    }
    if (in.status() != QDataStream::Ok) {
        socket->abort();
        return;
    }
    socket->write("k");
    socket->flush();
    Q_EMIT filesReceived(files);
}
