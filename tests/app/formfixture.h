#pragma once

#include "app/formview.h"
#include "common/recordingsink.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A temporary folder for logs and the settings file, a message sink, and the
// main window under test.
class FormFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // Closing a window asks before exiting; these tests mean to close.
        m_sink.SetAnswer(MsgResult::Ok);
    }

    void TearDown() override { m_form.reset(); }

    QString PathOf(const QString &name) const { return m_dir.filePath(name); }
    QString SettingsPath() const { return PathOf(QStringLiteral("Ravelin.ini")); }

    QString WriteFile(const QString &name, const QByteArray &data) const
    {
        const QString path = PathOf(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(data), data.size());
        return path;
    }

    static QByteArray ReadFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteSettings(const QByteArray &ini) const
    {
        WriteFile(QStringLiteral("Ravelin.ini"), ini);
    }

    TFormView &MakeForm(const CommandLine &commandLine = {})
    {
        m_form = std::make_unique<TFormView>(SettingsPath(), commandLine);
        return *m_form;
    }

    // Shows the window and lets the event loop run what showing it started.
    static void ShowForm(TFormView &form)
    {
        form.show();
        QCoreApplication::processEvents();
    }

    QTemporaryDir m_dir;
    RecordingSink m_sink;
    std::unique_ptr<TFormView> m_form;
};
