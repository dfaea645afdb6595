#pragma once

#include "text/codepages.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages for strings.
inline void printTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// The list entry of a Windows code page number.
inline Encoding entryOf(int codepage)
{
    for (const Encoding e : listedCodePages())
        if (codepageID(e) == codepage)
            return e;
    ADD_FAILURE() << "no entry for code page " << codepage;
    return encodingAnsi;
}

// The text as UTF-16 bytes of the given order.
inline QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes;
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}

// Small files written into a temporary folder that lives as long as the fixture.
// A sparse file of `size` bytes that holds "needle" only at its very end.
inline QString writeSparse(const QString &path, qint64 size)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXPECT_TRUE(file.resize(size - 6));
    EXPECT_TRUE(file.seek(size - 6));
    EXPECT_EQ(file.write("needle"), 6);
    return path;
}

class TempFiles
{
public:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    void append(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Append));
        f.write(bytes);
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
