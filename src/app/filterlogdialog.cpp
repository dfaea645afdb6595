#include "app/filterlogdialog.h"

#include "app/shellmessages.h"
#include "text/guard.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kNoLines = QStringLiteral("No lines were filtered, log wasn't created");

QLabel *label(QWidget *parent, const char *name, const QString &caption, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

FilterLogDialog::FilterLogDialog(BackgroundJobs &jobs, QWidget *parent)
    : QDialog(parent), m_jobs(jobs)
{
    setObjectName(QStringLiteral("FormFilter"));
    setWindowTitle(QStringLiteral("Create filtered log"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    m_edFN = named(new QLineEdit(this), "edFN");
    m_edFN->setMinimumWidth(360);
    m_bBr = named(new QPushButton(QStringLiteral("&Browse..."), this), "bBr");
    m_edFilter = named(new QLineEdit(this), "edFilter");
    m_chkRE = named(new QCheckBox(QStringLiteral("&Regular expression"), this), "chkRE");
    m_chkCase = named(new QCheckBox(QStringLiteral("&Case sensitive"), this), "chkCase");
    m_chkInv = named(new QCheckBox(QStringLiteral("&Invert match"), this), "chkInv");
    m_gauge = named(new QProgressBar(this), "Gauge1");
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);
    m_gauge->setTextVisible(false);
    m_gauge->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: navy; }"));
    m_bOk = named(new QPushButton(QStringLiteral("Filter"), this), "bOk");
    m_bOk->setDefault(true);
    m_bCan = named(new QPushButton(QStringLiteral("Cancel"), this), "bCan");

    auto *grid = new QGridLayout;
    grid->addWidget(
        label(this, "Label1", QStringLiteral("&Newly created filtered log filename:"), m_edFN), 0,
        0, 1, 2);
    grid->addWidget(m_edFN, 1, 0);
    grid->addWidget(m_bBr, 1, 1);
    grid->addWidget(label(this, "Label2",
                          QStringLiteral("&Leave only lines containing sub-string:"), m_edFilter),
                    2, 0, 1, 2);
    grid->addWidget(m_edFilter, 3, 0, 1, 2);
    auto *checks = new QHBoxLayout;
    checks->addWidget(m_chkRE);
    checks->addWidget(m_chkCase);
    checks->addWidget(m_chkInv);
    checks->addStretch(1);
    grid->addLayout(checks, 4, 0, 1, 2);
    grid->addWidget(label(this, "Label3", QStringLiteral("Filtering progress:")), 5, 0, 1, 2);
    grid->addWidget(m_gauge, 6, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_bOk);
    buttons->addWidget(m_bCan);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    chooseFile = [this](const QString &current) {
        QFileDialog dialog(this, QString(), QFileInfo(current).absolutePath());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(
            {QStringLiteral("Log files (*.log)"), QStringLiteral("All files (*)")});
        dialog.setDefaultSuffix(QStringLiteral("log"));
        dialog.selectFile(current);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };

    runFilter = [](const QString &source, const QString &dest, const FilterLogOptions &options,
                   const FilterProgress &progress, std::stop_token stop) {
        return filterLog(source, dest, options, progress, std::move(stop));
    };

    m_progressTimer = new QTimer(this);
    m_progressTimer->setTimerType(Qt::PreciseTimer);
    // Ticks come twice as often as the gauge may change, so it changes
    // every 50 to 75 ms and never sooner.
    m_progressTimer->setInterval(kProgressIntervalMs / 2);
    connect(m_progressTimer, &QTimer::timeout, this, guarded([this] { showProgress(); }));

    connect(m_edFilter, &QLineEdit::textChanged, this, guarded([this] { updateOk(); }));
    connect(m_bBr, &QPushButton::clicked, this, guarded([this] { browse(); }));
    connect(m_bOk, &QPushButton::clicked, this, guarded([this] { run(); }));
    connect(m_bCan, &QPushButton::clicked, this, guarded([this] { reject(); }));
    setSource(QString(), encodingAnsi);
    updateOk();
    // The name comes filled in; the test is what the user types first.
    m_edFilter->setFocus();
    // Centred on the screen: it has no owner to be centred on.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        move(screen->availableGeometry().center() - rect().center());
    }
}

FilterLogDialog::~FilterLogDialog()
{
    // The run goes on without the dialog only until it sees this; its
    // watcher goes with the dialog, so its end reaches nobody.
    m_job.stop.request_stop();
}

QString FilterLogDialog::suggestedName(const QString &source)
{
    if (source.isEmpty())
        return QDir::home().filePath(QStringLiteral("filtered.log"));
    const qsizetype slash = source.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = source.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the name (".bashrc") begins no extension.
    const bool extension = dot > slash + 1;
    return (extension ? source.left(dot) : source) + QStringLiteral("_filtered.log");
}

void FilterLogDialog::setSource(const QString &fileName, Encoding encoding, const void *client)
{
    m_source = fileName;
    m_encoding = encoding;
    m_client = client;
    m_edFN->setText(suggestedName(fileName));
}

QString FilterLogDialog::fileName() const
{
    return m_edFN->text();
}

void FilterLogDialog::updateOk()
{
    m_bOk->setEnabled(!m_running && !m_edFilter->text().isEmpty());
}

void FilterLogDialog::browse()
{
    const QString chosen = chooseFile ? chooseFile(m_edFN->text()) : QString();
    if (!chosen.isEmpty())
        m_edFN->setText(chosen);
}

void FilterLogDialog::setRunning(bool running)
{
    m_running = running;
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_edFN, m_bBr, m_edFilter, m_chkRE, m_chkCase, m_chkInv})
        w->setEnabled(!running);
    updateOk();
}

void FilterLogDialog::reject()
{
    // During a run Cancel stops it; the dialog closes only afterwards.
    if (m_running) {
        m_job.stop.request_stop();
        return;
    }
    QDialog::reject();
}

void FilterLogDialog::abandon()
{
    m_job.stop.request_stop();
    if (m_watcher) {
        m_watcher->disconnect(this);
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }
    m_job = {};
    m_progressTimer->stop();
    setRunning(false);
    done(QDialog::Rejected);
}

void FilterLogDialog::run()
{
    if (m_running || m_edFilter->text().isEmpty())
        return;
    FilterLogOptions options;
    options.filter = m_edFilter->text().toUtf8();
    options.encoding = m_encoding;
    options.invert = m_chkInv->isChecked();
    options.caseSensitive = m_chkCase->isChecked();
    options.isRegex = m_chkRE->isChecked();

    setRunning(true);
    m_gauge->setValue(0);
    m_progressShown.invalidate();
    // The job gets copies only: it never touches the dialog.
    m_job = m_jobs.start<FilterLogResult>(
        m_client, [run = runFilter, source = m_source, data = m_data, dest = m_edFN->text(),
                   options](QPromise<FilterLogResult> &promise, std::stop_token stop) {
            promise.setProgressRange(0, 100);
            const FilterProgress progress = [&promise](int percent) {
                promise.setProgressValue(std::clamp(percent, 0, 100));
            };
            promise.addResult(data ? filterLog(*data, dest, options, progress, std::move(stop))
                                   : run(source, dest, options, progress, std::move(stop)));
        });
    m_watcher = new QFutureWatcher<FilterLogResult>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, guarded([this] { runFinished(); }));
    m_watcher->setFuture(m_job.future);
    m_progressTimer->start();
}

void FilterLogDialog::showProgress()
{
    if (!m_watcher)
        return;
    const int percent = m_watcher->progressValue();
    if (percent != m_gauge->value() &&
        (!m_progressShown.isValid() || m_progressShown.elapsed() >= kProgressIntervalMs)) {
        m_gauge->setValue(percent);
        m_progressShown.start();
    }
}

void FilterLogDialog::runFinished()
{
    m_progressTimer->stop();
    QFuture<FilterLogResult> future = m_job.future;
    m_job = {};
    m_watcher->deleteLater();
    m_watcher = nullptr;
    // Whatever ended the run, the dialog is usable again.
    setRunning(false);

    if (future.resultCount() == 0) {
        // Failed: the general error report shows why (this is a guarded
        // slot, and the wait rethrows what the job threw).
        m_gauge->setValue(0);
        future.waitForFinished();
        return;
    }
    const FilterLogResult result = future.result();
    switch (result.state) {
    case FilterLogResult::Status::Written:
        m_gauge->setValue(100);
        if (showMessage(QStringLiteral("Ravelin"), QStringLiteral("Open newly created log file?"),
                        MsgIcon::Question, MsgButtons::OkCancel) == MsgResult::Ok)
            accept();
        return;
    case FilterLogResult::Status::NoLines:
    case FilterLogResult::Status::NoSource:
        msgWarning(kNoLines);
        return;
    case FilterLogResult::Status::Cancelled:
        m_gauge->setValue(0);
        return;
    case FilterLogResult::Status::SameFile:
    case FilterLogResult::Status::Failed:
        msgError(result.error);
        return;
    }
}
