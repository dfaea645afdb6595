#pragma once

#include "common/recordingsink.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// True when the bytes are UTF-8 text whose only control characters are line
// ends and tabs: what a saved settings file must be.
inline bool isCleanText(const QByteArray &bytes)
{
    for (const char c : bytes) {
        const uchar u = uchar(c);
        if ((u < 0x20 && c != '\n' && c != '\r' && c != '\t') || u == 0x7F)
            return false;
    }
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// A temporary folder for settings files, with the message sink installed.
class SettingsFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString pathOf(const QString &name) const { return m_dir.filePath(name); }

    static void writeFile(const QString &path, const QByteArray &data)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(data), data.size());
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    }

    QTemporaryDir m_dir;
    RecordingSink m_sink;
};
