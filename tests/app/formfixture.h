#pragma once

#include "app/mainwindow.h"
#include "common/recordingsink.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
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
        m_sink.setAnswer(MsgResult::Ok);
    }

    void TearDown() override { m_form.reset(); }

    QString pathOf(const QString &name) const { return m_dir.filePath(name); }
    QString settingsPath() const { return pathOf(QStringLiteral("Ravelin.ini")); }

    QString writeFile(const QString &name, const QByteArray &data) const
    {
        const QString path = pathOf(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(data), data.size());
        return path;
    }

    // Runs the event loop until done holds; the limit only turns a missing
    // event into a failure.
    static bool waitUntil(const std::function<bool()> &done, int limitMs = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return done();
    }

    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeSettings(const QByteArray &ini) const
    {
        writeFile(QStringLiteral("Ravelin.ini"), ini);
    }

    MainWindow &makeForm(const CommandLine &commandLine = {})
    {
        m_form = std::make_unique<MainWindow>(settingsPath(), commandLine);
        return *m_form;
    }

    // Shows the window and lets the event loop run what showing it started.
    static void showForm(MainWindow &form)
    {
        form.show();
        QCoreApplication::processEvents();
    }

    QTemporaryDir m_dir;
    RecordingSink m_sink;
    std::unique_ptr<MainWindow> m_form;
};
