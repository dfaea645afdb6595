#pragma once

#include "formfixture.h"

#include <QTest>

// A window with one tab over a log, shown and active, as the user has it
// before the first key.
class ShownLogFixture : public FormFixture
{
protected:
    MainWindow &openLog(const QByteArray &bytes)
    {
        MainWindow &form = makeForm();
        m_log = writeFile(QStringLiteral("app.log"), bytes);
        form.openFileTab(m_log);
        EXPECT_EQ(form.tabCount(), 1);
        showForm(form);
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        return form;
    }

    QString m_log;
};
