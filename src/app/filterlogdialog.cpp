#include "app/filterlogdialog.h"

#include "app/shellmessages.h"
#include "text/guard.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
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

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

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

FilterLogDialog::FilterLogDialog(QWidget *parent) : QDialog(parent)
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

    connect(m_edFilter, &QLineEdit::textChanged, this, guarded([this] { updateOk(); }));
    connect(m_bBr, &QPushButton::clicked, this, guarded([this] { browse(); }));
    connect(m_bOk, &QPushButton::clicked, this, guarded([this] { run(); }));
    connect(m_bCan, &QPushButton::clicked, this, guarded([this] { reject(); }));
    setSource(QString(), 0);
    updateOk();
    // The name comes filled in; the test is what the user types first.
    m_edFilter->setFocus();
    // Centred on the screen: it has no owner to be centred on.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        move(screen->availableGeometry().center() - rect().center());
    }
}

FilterLogDialog::~FilterLogDialog() = default;

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

void FilterLogDialog::setSource(const QString &fileName, int encoding)
{
    m_source = fileName;
    m_encoding = encoding;
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
        if (m_cancel)
            m_cancel();
        return;
    }
    QDialog::reject();
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
    const QString dest = m_edFN->text();

    setRunning(true);
    m_gauge->setValue(0);
    // The worker shares only these with the dialog; it never touches a widget.
    struct Shared
    {
        std::atomic<int> percent{0};
        std::atomic<bool> done{false};
        FilterLogResult result;
        std::exception_ptr error; // what the run threw, shown once it is over
    };
    auto shared = std::make_shared<Shared>();
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    // Ticks come twice as often as the gauge may change, so it changes
    // every 50 to 75 ms and never sooner.
    tick.setInterval(kProgressIntervalMs / 2);
    QElapsedTimer shown;
    connect(&tick, &QTimer::timeout, &loop, guarded([&] {
        const int percent = std::clamp(shared->percent.load(), 0, 100);
        if (percent != m_gauge->value() &&
            (!shown.isValid() || shown.elapsed() >= kProgressIntervalMs)) {
            m_gauge->setValue(percent);
            shown.start();
        }
        if (shared->done.load())
            loop.quit();
    }));
    QEventLoop *waiting = &loop;
    {
        // Whatever ends the run, the dialog is usable again.
        struct Usable
        {
            FilterLogDialog *dialog;
            ~Usable() { dialog->setRunning(false); }
        } usable{this};
        std::jthread worker([shared, run = runFilter, source = m_source, dest, options,
                             waiting](std::stop_token stop) {
            // Nothing may leave the thread: std::terminate would end the program.
            try {
                shared->result = run(
                    source, dest, options, [&](int percent) { shared->percent.store(percent); },
                    stop);
            } catch (...) {
                shared->error = std::current_exception();
            }
            shared->done.store(true);
            // The end is seen at once, not at the next tick (the loop outlives
            // the worker: it is joined before the loop goes). Without memory
            // for the call the next tick sees it.
            try {
                QMetaObject::invokeMethod(
                    waiting, [waiting] { waiting->quit(); }, Qt::QueuedConnection);
            } catch (...) {
            }
        });
        m_cancel = [&worker] { worker.request_stop(); };
        tick.start();
        loop.exec();
        m_cancel = nullptr;
        worker.join();
        tick.stop();
    }

    if (shared->error) {
        // Failed: the general error report shows why (Run is a guarded slot).
        m_gauge->setValue(0);
        std::rethrow_exception(shared->error);
    }
    const FilterLogResult &result = shared->result;
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
