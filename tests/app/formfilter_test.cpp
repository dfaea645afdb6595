// "Create filtered log": the suggested name, the Filter button, a run with
// its question and warnings, Cancel during a run, and Ctrl+N opening the
// result in a tab.
#include "formfixture.h"

#include "app/formfilter.h"
#include "text/guard.h"
#include "viewer/qzbinhex.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <new>

namespace {

const QString kNoLines = QStringLiteral("No lines were filtered, log wasn't created");

class FilterTest : public FormFixture
{
protected:
    template <typename T>
    static T *Child(const TFormFilter &dialog, const char *name)
    {
        T *child = dialog.findChild<T *>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void Set(TFormFilter &dialog, const QString &output, const QString &filter)
    {
        Child<QLineEdit>(dialog, "edFN")->setText(output);
        Child<QLineEdit>(dialog, "edFilter")->setText(filter);
    }
    static void Filter(TFormFilter &dialog) { Child<QPushButton>(dialog, "bOk")->click(); }
    // Whether everything a run disables is usable again.
    static bool Usable(const TFormFilter &dialog)
    {
        for (const char *name : {"edFN", "edFilter", "bBr", "bOk", "bCan", "chkRE"})
            if (!Child<QWidget>(dialog, name)->isEnabled())
                return false;
        return !dialog.Running();
    }
};

TEST_F(FilterTest, SuggestsTheSourceNameWithFilteredLog)
{
    const std::pair<const char *, const char *> cases[] = {
        {"/logs/app.log", "/logs/app_filtered.log"},
        {"/logs/a.b.log", "/logs/a.b_filtered.log"},
        {"/logs/app", "/logs/app_filtered.log"},
        {"/logs.d/app", "/logs.d/app_filtered.log"},
        {"/home/u/.bashrc", "/home/u/.bashrc_filtered.log"},
    };
    for (const auto &[source, suggested] : cases)
        EXPECT_EQ(TFormFilter::SuggestedName(source), suggested) << source;
    EXPECT_EQ(TFormFilter::SuggestedName(QString()), QDir::home().filePath("filtered.log"));
}

TEST_F(FilterTest, TheFilterButtonWantsAText)
{
    TFormFilter dialog;
    EXPECT_EQ(dialog.windowTitle(), "Create filtered log");
    dialog.SetSource(PathOf("app.log"), 0);
    EXPECT_EQ(Child<QLineEdit>(dialog, "edFN")->text(), PathOf("app_filtered.log"));
    auto *ok = Child<QPushButton>(dialog, "bOk");
    EXPECT_EQ(ok->text(), "Filter");
    EXPECT_FALSE(ok->isEnabled());
    Child<QLineEdit>(dialog, "edFilter")->setText("x");
    EXPECT_TRUE(ok->isEnabled());
    Child<QLineEdit>(dialog, "edFilter")->clear();
    EXPECT_FALSE(ok->isEnabled());

    // Browse offers the current name and takes the chosen one.
    QString offered;
    dialog.ChooseFile = [&](const QString &current) {
        offered = current;
        return PathOf("chosen.log");
    };
    Child<QPushButton>(dialog, "bBr")->click();
    EXPECT_EQ(offered, PathOf("app_filtered.log"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "edFN")->text(), PathOf("chosen.log"));
    dialog.ChooseFile = [](const QString &) { return QString(); };
    Child<QPushButton>(dialog, "bBr")->click();
    EXPECT_EQ(Child<QLineEdit>(dialog, "edFN")->text(), PathOf("chosen.log"));
}

TEST_F(FilterTest, ARunAsksToOpenTheResultAndWarnsWhenNothingPassed)
{
    const QString source = WriteFile("app.log", "Info a\nError b\nerror c\nlast Error");
    const QString out = PathOf("app_filtered.log");
    TFormFilter dialog;
    dialog.SetSource(source, 0);
    dialog.show();
    Set(dialog, out, "Error");
    Child<QCheckBox>(dialog, "chkCase")->setChecked(true);

    // Cancel at the question keeps the dialog open, with the file written.
    m_sink.QueueAnswers({MsgResult::Cancel});
    Filter(dialog);
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Text, "Open newly created log file?");
    EXPECT_EQ(m_sink.Messages()[0].Caption, "Ravelin");
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Question);
    EXPECT_EQ(ReadFile(out), "Error b\r\nlast Error\r\n");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(Usable(dialog));
    EXPECT_EQ(Child<QProgressBar>(dialog, "Gauge1")->value(), 100);

    // Nothing passes: a warning, no file, and the old one stays.
    Child<QLineEdit>(dialog, "edFilter")->setText("zzz");
    Filter(dialog);
    ASSERT_EQ(m_sink.Messages().size(), 2u);
    EXPECT_EQ(m_sink.Messages()[1].Text, kNoLines);
    EXPECT_EQ(m_sink.Messages()[1].Icon, MsgIcon::Warning);
    EXPECT_EQ(ReadFile(out), "Error b\r\nlast Error\r\n");

    // A missing source says the same.
    dialog.SetSource(PathOf("gone.log"), 0);
    Set(dialog, PathOf("gone_out.log"), "x");
    Filter(dialog);
    ASSERT_EQ(m_sink.Messages().size(), 3u);
    EXPECT_EQ(m_sink.Messages()[2].Text, kNoLines);
    EXPECT_FALSE(QFile::exists(PathOf("gone_out.log")));

    // OK at the question closes the dialog with OK.
    dialog.SetSource(source, 0);
    Set(dialog, out, "c");
    m_sink.QueueAnswers({MsgResult::Ok});
    Filter(dialog);
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    EXPECT_EQ(ReadFile(out), "error c\r\n");
}

TEST_F(FilterTest, FailuresShowTheirReasonAndLeaveTheDialogUsable)
{
    const QString source = WriteFile("app.log", "one\ntwo\n");
    TFormFilter dialog;
    dialog.SetSource(source, 0);
    struct Case
    {
        const char *name;
        QString output;
        const char *reason;
    };
    ASSERT_TRUE(QFile::link(source, PathOf("link.log")));
    const Case cases[] = {
        {"missing folder", PathOf("nowhere/out.log"), "No such file or directory"},
        {"the source itself", source, "cannot replace the log it is made from"},
        {"the source through a link", PathOf("link.log"), "cannot replace the log it is made from"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = m_sink.Messages().size();
        Set(dialog, c.output, "o");
        Filter(dialog);
        ASSERT_EQ(m_sink.Messages().size(), before + 1);
        EXPECT_EQ(m_sink.Messages().back().Icon, MsgIcon::Error);
        EXPECT_TRUE(m_sink.Messages().back().Text.contains(c.reason))
            << qPrintable(m_sink.Messages().back().Text);
        EXPECT_TRUE(Usable(dialog));
    }
    EXPECT_EQ(ReadFile(source), "one\ntwo\n");
}

// Whatever the run throws on its worker (no memory under a limit) must not
// end the program: the general error report shows it, the run ends as
// failed and the dialog is usable again.
TEST_F(FilterTest, ARunThatThrowsIsReportedAndLeavesTheDialogUsable)
{
    const QString source = WriteFile("app.log", "one\ntwo\n");
    TFormFilter dialog;
    dialog.SetSource(source, 0);
    Set(dialog, PathOf("out.log"), "o");
    dialog.RunFilter = [](const QString &, const QString &, const TFilterLogOptions &,
                          const TFilterProgress &progress, std::stop_token) -> TFilterLogResult {
        progress(40);
        throw std::bad_alloc();
    };
    Filter(dialog);
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Caption, ProgramTitle());
    EXPECT_EQ(m_sink.Messages()[0].Text, "std::bad_alloc");
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);
    EXPECT_TRUE(Usable(dialog));
    EXPECT_EQ(Child<QProgressBar>(dialog, "Gauge1")->value(), 0);
    EXPECT_FALSE(QFile::exists(PathOf("out.log")));
}

TEST_F(FilterTest, CancelDuringARunStopsItAndLeavesNoFile)
{
    QByteArray data;
    while (data.size() < (qsizetype(48) << 20))
        data += "2026-12-10 ERROR request timeout=30 keep this line\n";
    const QString source = WriteFile("big.log", data);
    data.clear();
    const QString out = WriteFile("out.log", "old\n");
    TFormFilter dialog;
    dialog.SetSource(source, 0);
    dialog.show();
    Set(dialog, out, "error.*timeout=[0-9]+");
    Child<QCheckBox>(dialog, "chkRE")->setChecked(true);
    bool runningAtCancel = false;
    QTimer::singleShot(0, &dialog, [&] {
        runningAtCancel = dialog.Running();
        Child<QPushButton>(dialog, "bCan")->click();
    });
    Filter(dialog);
    EXPECT_TRUE(runningAtCancel);
    EXPECT_TRUE(m_sink.Messages().empty());
    EXPECT_EQ(ReadFile(out), "old\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    // The run ends; the dialog stays for another go.
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(Usable(dialog));
    Child<QPushButton>(dialog, "bCan")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
}

TEST_F(FilterTest, CtrlNOpensTheFilteredLogInANewTab)
{
    TFormView &form = MakeForm();
    EXPECT_EQ(form.Acts().mnuEdFilter->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    const QString source = WriteFile("app.log", "Info a\r\nError b\r\n");
    form.OpenFileTab(source);
    ASSERT_EQ(form.RecCount(), 1);
    form.ExecDialog = [&](QDialog &dialog) {
        auto *filter = dynamic_cast<TFormFilter *>(&dialog);
        EXPECT_NE(filter, nullptr);
        if (!filter)
            return int(QDialog::Rejected);
        EXPECT_EQ(Child<QLineEdit>(*filter, "edFN")->text(), PathOf("app_filtered.log"));
        Child<QLineEdit>(*filter, "edFilter")->setText("error");
        Filter(*filter);
        return filter->result();
    };
    m_sink.QueueAnswers({MsgResult::Ok});
    form.Acts().mnuEdFilter->trigger();
    ASSERT_EQ(form.RecCount(), 2);
    EXPECT_EQ(form.ActiveView()->FileName(), PathOf("app_filtered.log"));
    EXPECT_EQ(ReadFile(PathOf("app_filtered.log")), "Error b\r\n");
}

} // namespace
