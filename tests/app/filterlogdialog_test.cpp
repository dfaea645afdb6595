// "Create filtered log": the suggested name, the Filter button, a run with
// its question and warnings, Cancel during a run, closing the dialog or its
// tab during a run, and Ctrl+N opening the result in a tab.
#include "formfixture.h"

#include "app/filterlogdialog.h"
#include "viewer/spansource.h"
#include "text/guard.h"
#include "viewer/logview.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
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
    static T *child(const FilterLogDialog &dialog, const char *name)
    {
        T *child = dialog.findChild<T *>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void set(FilterLogDialog &dialog, const QString &output, const QString &filter)
    {
        child<QLineEdit>(dialog, "edFN")->setText(output);
        child<QLineEdit>(dialog, "edFilter")->setText(filter);
    }
    // Runs the filter and waits for the run to end.
    static void filter(FilterLogDialog &dialog)
    {
        child<QPushButton>(dialog, "bOk")->click();
        while (dialog.running())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // A source that takes a while to filter, so that a run can be
    // interrupted, and an old output the run would replace.
    QString bigSource() const
    {
        QByteArray data;
        while (data.size() < (qsizetype(48) << 20))
            data += "2026-12-10 ERROR request timeout=30 keep this line\n";
        return writeFile("big.log", data);
    }
    QStringList filesLeft() const
    {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // Whether everything a run disables is usable again.
    static bool usable(const FilterLogDialog &dialog)
    {
        for (const char *name : {"edFN", "edFilter", "bBr", "bOk", "bCan", "chkRE"})
            if (!child<QWidget>(dialog, name)->isEnabled())
                return false;
        return !dialog.running();
    }

    BackgroundJobs m_jobs;
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
        EXPECT_EQ(FilterLogDialog::suggestedName(source), suggested) << source;
    EXPECT_EQ(FilterLogDialog::suggestedName(QString()), QDir::home().filePath("filtered.log"));
}

TEST_F(FilterTest, TheFilterButtonWantsAText)
{
    FilterLogDialog dialog(m_jobs);
    EXPECT_EQ(dialog.windowTitle(), "Create filtered log");
    dialog.setSource(pathOf("app.log"), encodingAnsi);
    EXPECT_EQ(child<QLineEdit>(dialog, "edFN")->text(), pathOf("app_filtered.log"));
    auto *ok = child<QPushButton>(dialog, "bOk");
    EXPECT_EQ(ok->text(), "Filter");
    EXPECT_FALSE(ok->isEnabled());
    child<QLineEdit>(dialog, "edFilter")->setText("x");
    EXPECT_TRUE(ok->isEnabled());
    child<QLineEdit>(dialog, "edFilter")->clear();
    EXPECT_FALSE(ok->isEnabled());

    // Browse offers the current name and takes the chosen one.
    QString offered;
    dialog.chooseFile = [&](const QString &current) {
        offered = current;
        return pathOf("chosen.log");
    };
    child<QPushButton>(dialog, "bBr")->click();
    EXPECT_EQ(offered, pathOf("app_filtered.log"));
    EXPECT_EQ(child<QLineEdit>(dialog, "edFN")->text(), pathOf("chosen.log"));
    dialog.chooseFile = [](const QString &) { return QString(); };
    child<QPushButton>(dialog, "bBr")->click();
    EXPECT_EQ(child<QLineEdit>(dialog, "edFN")->text(), pathOf("chosen.log"));
}

TEST_F(FilterTest, ARunAsksToOpenTheResultAndWarnsWhenNothingPassed)
{
    const QString source = writeFile("app.log", "Info a\nError b\nerror c\nlast Error");
    const QString out = pathOf("app_filtered.log");
    FilterLogDialog dialog(m_jobs);
    dialog.setSource(source, encodingAnsi);
    dialog.show();
    set(dialog, out, "Error");
    child<QCheckBox>(dialog, "chkCase")->setChecked(true);

    // Cancel at the question keeps the dialog open, with the file written.
    m_sink.queueAnswers({MsgResult::Cancel});
    filter(dialog);
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].text, "Open newly created log file?");
    EXPECT_EQ(m_sink.messages()[0].caption, "Ravelin");
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Question);
    EXPECT_EQ(readFile(out), "Error b\r\nlast Error\r\n");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(usable(dialog));
    EXPECT_EQ(child<QProgressBar>(dialog, "Gauge1")->value(), 100);

    // Nothing passes: a warning, no file, and the old one stays.
    child<QLineEdit>(dialog, "edFilter")->setText("zzz");
    filter(dialog);
    ASSERT_EQ(m_sink.messages().size(), 2u);
    EXPECT_EQ(m_sink.messages()[1].text, kNoLines);
    EXPECT_EQ(m_sink.messages()[1].icon, MsgIcon::Warning);
    EXPECT_EQ(readFile(out), "Error b\r\nlast Error\r\n");

    // A missing source says the same.
    dialog.setSource(pathOf("gone.log"), encodingAnsi);
    set(dialog, pathOf("gone_out.log"), "x");
    filter(dialog);
    ASSERT_EQ(m_sink.messages().size(), 3u);
    EXPECT_EQ(m_sink.messages()[2].text, kNoLines);
    EXPECT_FALSE(QFile::exists(pathOf("gone_out.log")));

    // OK at the question closes the dialog with OK.
    dialog.setSource(source, encodingAnsi);
    set(dialog, out, "c");
    m_sink.queueAnswers({MsgResult::Ok});
    filter(dialog);
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
    EXPECT_EQ(readFile(out), "error c\r\n");
}

TEST_F(FilterTest, FailuresShowTheirReasonAndLeaveTheDialogUsable)
{
    const QString source = writeFile("app.log", "one\ntwo\n");
    FilterLogDialog dialog(m_jobs);
    dialog.setSource(source, encodingAnsi);
    struct Case
    {
        const char *name;
        QString output;
        const char *reason;
    };
    ASSERT_TRUE(QFile::link(source, pathOf("link.log")));
    const Case cases[] = {
        {"missing folder", pathOf("nowhere/out.log"), "No such file or directory"},
        {"the source itself", source, "cannot replace the log it is made from"},
        {"the source through a link", pathOf("link.log"), "cannot replace the log it is made from"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const size_t before = m_sink.messages().size();
        set(dialog, c.output, "o");
        filter(dialog);
        ASSERT_EQ(m_sink.messages().size(), before + 1);
        EXPECT_EQ(m_sink.messages().back().icon, MsgIcon::Error);
        EXPECT_TRUE(m_sink.messages().back().text.contains(c.reason))
            << qPrintable(m_sink.messages().back().text);
        EXPECT_TRUE(usable(dialog));
    }
    EXPECT_EQ(readFile(source), "one\ntwo\n");
}

// Whatever the run throws on its worker (no memory under a limit) must not
// end the program: the general error report shows it, the run ends as
// failed and the dialog is usable again.
// A compressed log is filtered as the view shows it, decompressed: the
// dialog reads the bytes it was given, not the file under the name, and
// still never writes over that file.
TEST_F(FilterTest, GivenBytesAreFilteredInsteadOfTheFile)
{
    const QString source = writeFile("app.log.gz", "\x1f\x8b compressed bytes Error\n");
    const std::string shown = "Info a\nError b\nerror c\n";
    const auto local = LocalFileSource::open(source);
    ASSERT_TRUE(local);
    // The shown bytes, read from memory but told to come from the file.
    struct Shown final : FileSource
    {
        Shown(const std::string &text, const LocalFileSource &file)
            : m_bytes(text.data(), qint64(text.size())), m_file(file)
        {}
        qint64 size() const override { return m_bytes.size(); }
        ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                        std::stop_token stop) const override
        {
            return m_bytes.read(buffer, count, position, bytesRead, std::move(stop));
        }
        std::unique_ptr<FileSource> openAnother() const override { return nullptr; }
        const LocalFileSource *localFile() const override { return &m_file; }
        SpanSource m_bytes;
        const LocalFileSource &m_file;
    };
    const QString out = pathOf("app_filtered.log");
    const struct
    {
        const char *what;
        QString dest;
        QString written;
    } cases[] = {
        {"the shown lines pass", out, "Error b\r\n"},
        {"the compressed file is never the destination", source, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FilterLogDialog dialog(m_jobs);
        dialog.setSource(source, encodingAnsi);
        dialog.setSourceData(std::make_shared<Shown>(shown, *local));
        set(dialog, c.dest, "Error");
        child<QCheckBox>(dialog, "chkCase")->setChecked(true);
        m_sink.queueAnswers({MsgResult::Cancel});
        filter(dialog);
        if (!c.written.isEmpty()) {
            EXPECT_EQ(readFile(out), c.written);
        } else {
            ASSERT_FALSE(m_sink.messages().empty());
            EXPECT_TRUE(m_sink.messages().back().text.contains("cannot replace"))
                << m_sink.messages().back().text.toStdString();
        }
    }
    EXPECT_EQ(readFile(source), "\x1f\x8b compressed bytes Error\n");
}

TEST_F(FilterTest, ARunThatThrowsIsReportedAndLeavesTheDialogUsable)
{
    const QString source = writeFile("app.log", "one\ntwo\n");
    FilterLogDialog dialog(m_jobs);
    dialog.setSource(source, encodingAnsi);
    set(dialog, pathOf("out.log"), "o");
    dialog.runFilter = [](const QString &, const QString &, const FilterLogOptions &,
                          const FilterProgress &progress, std::stop_token) -> FilterLogResult {
        progress(40);
        throw std::bad_alloc();
    };
    filter(dialog);
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].caption, programTitle());
    EXPECT_EQ(m_sink.messages()[0].text, "std::bad_alloc");
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);
    EXPECT_TRUE(usable(dialog));
    EXPECT_EQ(child<QProgressBar>(dialog, "Gauge1")->value(), 0);
    EXPECT_FALSE(QFile::exists(pathOf("out.log")));
}

TEST_F(FilterTest, CancelDuringARunStopsItAndLeavesNoFile)
{
    const QString source = bigSource();
    const QString out = writeFile("out.log", "old\n");
    FilterLogDialog dialog(m_jobs);
    dialog.setSource(source, encodingAnsi);
    dialog.show();
    set(dialog, out, "error.*timeout=[0-9]+");
    child<QCheckBox>(dialog, "chkRE")->setChecked(true);
    bool runningAtCancel = false;
    QTimer::singleShot(0, &dialog, [&] {
        runningAtCancel = dialog.running();
        child<QPushButton>(dialog, "bCan")->click();
    });
    filter(dialog);
    EXPECT_TRUE(runningAtCancel);
    EXPECT_TRUE(m_sink.messages().empty());
    EXPECT_EQ(readFile(out), "old\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    // The run ends; the dialog stays for another go.
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(usable(dialog));
    child<QPushButton>(dialog, "bCan")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));
}

// A run outlives neither its dialog nor the tab the dialog was opened for:
// either going stops it, which leaves no file behind, and its end reaches
// nothing that is gone.
TEST_F(FilterTest, ClosingTheDialogDuringARunStopsItAndLeavesNoFile)
{
    const QString source = bigSource();
    const QString out = writeFile("out.log", "old\n");
    auto dialog = std::make_unique<FilterLogDialog>(m_jobs);
    dialog->setSource(source, encodingAnsi);
    dialog->show();
    set(*dialog, out, "error.*timeout=[0-9]+");
    child<QCheckBox>(*dialog, "chkRE")->setChecked(true);
    child<QPushButton>(*dialog, "bOk")->click();
    ASSERT_TRUE(dialog->running());
    dialog.reset();
    m_jobs.waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_sink.messages().empty());
    EXPECT_EQ(readFile(out), "old\n");
    EXPECT_EQ(filesLeft(), QStringList({"big.log", "out.log"}));
}

TEST_F(FilterTest, ClosingTheTabDuringARunStopsItAndClosesTheDialog)
{
    MainWindow &form = makeForm();
    const QString source = bigSource();
    form.openFileTab(source);
    ASSERT_EQ(form.tabCount(), 1);
    bool runningAtClose = false;
    bool runningAfterClose = true;
    form.execDialog = [&](QDialog &dialog) {
        auto *dialogShown = dynamic_cast<FilterLogDialog *>(&dialog);
        EXPECT_NE(dialogShown, nullptr);
        if (!dialogShown)
            return int(QDialog::Rejected);
        dialogShown->show();
        child<QLineEdit>(*dialogShown, "edFilter")->setText("error");
        child<QPushButton>(*dialogShown, "bOk")->click();
        runningAtClose = dialogShown->running();
        form.closeTab(0);
        runningAfterClose = dialogShown->running();
        EXPECT_FALSE(dialogShown->isVisible());
        return dialogShown->result();
    };
    form.acts().filterLog->trigger();
    EXPECT_TRUE(runningAtClose);
    EXPECT_FALSE(runningAfterClose);
    EXPECT_EQ(form.tabCount(), 0);
    form.jobs().waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_sink.messages().empty());
    EXPECT_FALSE(QFile::exists(pathOf("big_filtered.log")));
    EXPECT_EQ(filesLeft(), QStringList({"big.log"}));
}

TEST_F(FilterTest, CtrlNOpensTheFilteredLogInANewTab)
{
    MainWindow &form = makeForm();
    EXPECT_EQ(form.acts().filterLog->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    const QString source = writeFile("app.log", "Info a\r\nError b\r\n");
    form.openFileTab(source);
    ASSERT_EQ(form.tabCount(), 1);
    form.execDialog = [&](QDialog &dialog) {
        auto *dialogShown = dynamic_cast<FilterLogDialog *>(&dialog);
        EXPECT_NE(dialogShown, nullptr);
        if (!dialogShown)
            return int(QDialog::Rejected);
        EXPECT_EQ(child<QLineEdit>(*dialogShown, "edFN")->text(), pathOf("app_filtered.log"));
        child<QLineEdit>(*dialogShown, "edFilter")->setText("error");
        filter(*dialogShown);
        return dialogShown->result();
    };
    m_sink.queueAnswers({MsgResult::Ok});
    form.acts().filterLog->trigger();
    ASSERT_EQ(form.tabCount(), 2);
    EXPECT_EQ(form.activeView()->fileName(), pathOf("app_filtered.log"));
    EXPECT_EQ(readFile(pathOf("app_filtered.log")), "Error b\r\n");
}

} // namespace
