#pragma once

#include "app/formview.h"
#include "text/messages.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// Records messages and gives a chosen answer, so no test waits on a dialog.
class ScriptedSink final : public MessageSink
{
public:
    struct Message
    {
        QString Caption;
        QString Text;
        MsgIcon Icon;
    };

    MsgResult Show(const QString &caption, const QString &text, MsgIcon icon, MsgButtons) override
    {
        Messages.push_back({caption, text, icon});
        return Answer;
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (const Message &message : Messages)
            texts << message.Text;
        return texts;
    }

    MsgResult Answer = MsgResult::Ok;
    std::vector<Message> Messages;
};

// A temporary folder for logs and the settings file, a message sink, and the
// main window under test.
class FormFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_previousSink = SetMessageSink(&m_sink);
    }

    void TearDown() override
    {
        m_form.reset();
        SetMessageSink(m_previousSink);
    }

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

    QTemporaryDir m_dir;
    ScriptedSink m_sink;
    std::unique_ptr<TFormView> m_form;

private:
    MessageSink *m_previousSink = nullptr;
};
