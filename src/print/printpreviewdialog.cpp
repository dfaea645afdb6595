#include "print/printpreviewdialog.h"

#include "print/pagegeometry.h"
#include "print/zoomableimageview.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/messages.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace {
// Pages counted per step while the dialog waits: a step stays short enough
// for the dialog to answer at once.
constexpr int kCountStep = 100;
// What the page field takes while the count goes on.
constexpr int kPageFieldMax = 999999;

// The cursor waits while pages are laid out, however that ends.
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};
} // namespace

double screenDpi()
{
    // The resolution QFontMetrics measures the viewer's fonts at.
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? std::round(screen->logicalDotsPerInchY()) : 96.0;
}

QSize screenPageSize(const QPrinter &printer)
{
    const double dpi = screenDpi();
    return QSize(toScreenPixels(printer.width(), printer.logicalDpiX(), dpi),
                 toScreenPixels(printer.height(), printer.logicalDpiY(), dpi));
}

const QString &PrintPreviewDialog::allocationMessage()
{
    static const QString text =
        QStringLiteral("Cannot allocate temporary bitmap, not enough memory.");
    return text;
}

PrintPreviewDialog::PrintPreviewDialog(QPrinter &printer, PreviewCallback callback, QWidget *parent)
    : QDialog(parent), m_printer(printer), m_callback(std::move(callback)),
      m_page(100, 100, QImage::Format_RGB888)
{
    setWindowTitle(QStringLiteral("Print preview"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setSizeGripEnabled(false);

    auto *group = new QGroupBox(QStringLiteral(" Preview "), this);
    m_view = new ZoomableImageView(group);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_view);

    m_setup = new QPushButton(QStringLiteral("&Print setup..."), this);
    auto *print = new QPushButton(QStringLiteral("Print"), this);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    print->setDefault(true);
    connect(m_setup, &QPushButton::clicked, this, guarded([this] { printSetup(); }));
    connect(print, &QPushButton::clicked, this, guarded([this] { accept(); }));
    connect(cancel, &QPushButton::clicked, this, guarded([this] { reject(); }));

    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("PageBox"));
    m_pageBox->setRange(1, 1);
    // A page is shown once its number is complete, not at every digit.
    m_pageBox->setKeyboardTracking(false);
    m_pageBox->setMinimumWidth(m_pageBox->fontMetrics().horizontalAdvance(u'0') * 7);
    auto *pageLabel = new QLabel(QStringLiteral("Pa&ge"), this);
    pageLabel->setBuddy(m_pageBox);
    m_pageCount = new QLabel(this);
    m_pageCount->setObjectName(QStringLiteral("PageCount"));
    m_pageCount->setTextFormat(Qt::PlainText);
    connect(m_pageBox, &QSpinBox::valueChanged, this,
            guarded([this](int page) { showPage(page); }));
    m_pageBox->installEventFilter(this);
    m_view->installEventFilter(this);

    m_counter.setInterval(0);
    connect(&m_counter, &QTimer::timeout, this, guarded([this] {
        if (!countMore())
            m_counter.stop();
    }));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_setup);
    buttons->addStretch(1);
    buttons->addWidget(pageLabel);
    buttons->addWidget(m_pageBox);
    buttons->addWidget(m_pageCount);
    buttons->addStretch(1);
    buttons->addWidget(print);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group, 1);
    layout->addLayout(buttons);

    // Room for a portrait page to be read at a glance.
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1024, 768);
    resize(std::min(560, screen.width()), std::min(680, screen.height() - 40));
    move(screen.center() - rect().center());
}

bool PrintPreviewDialog::showTextPreview(QPrinter &printer, PreviewCallback callback,
                                         QWidget *parent, QPointer<QDialog> *shown)
{
    PrintPreviewDialog form(printer, std::move(callback), parent);
    if (!form.preparePage())
        return true;
    if (shown)
        *shown = &form;
    return form.exec() == QDialog::Accepted;
}

bool PrintPreviewDialog::preparePage()
{
    return preparePage(screenPageSize(m_printer));
}

bool PrintPreviewDialog::preparePage(const QSize &pageSize)
{
    QImage page;
    if (pageSize.width() > 0 && pageSize.height() > 0)
        page = QImage(pageSize, QImage::Format_RGB888);
    if (page.isNull()) {
        showMessage(QStringLiteral("Print preview"), allocationMessage(), MsgIcon::Error);
        return false;
    }
    m_page = std::move(page);
    return true;
}

void PrintPreviewDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    runGuarded([this] { renderPage(); });
    m_view->setFocus(Qt::OtherFocusReason);
}

void PrintPreviewDialog::renderPage()
{
    renderPage(std::max(m_pages.page, 1), true);
}

void PrintPreviewDialog::renderPage(int page, bool fit)
{
    if (!m_shown)
        return;
    require(bool(m_callback), QStringLiteral("Callback not assigned"),
            QStringLiteral("QzPrintPreview"));
    const WaitCursor wait;
    m_page.fill(Qt::white);
    {
        QPainter painter(&m_page);
        m_pages = m_callback(&painter, m_page.size(), page);
    }
    m_view->setPicture(m_page);
    m_view->setSmoothResample(true);
    if (fit)
        m_view->setFitToWindow(true);
    // A new page is read from its top, at the zoom of the last one.
    m_view->verticalScrollBar()->setValue(0);
    updatePageControls();
    if (!m_pages.complete)
        m_counter.start();
}

void PrintPreviewDialog::showPage(int n)
{
    n = std::max(n, 1);
    if (m_pages.complete)
        n = std::min(n, std::max(m_pages.count, 1));
    if (n == m_pages.page) {
        updatePageControls();
        return;
    }
    renderPage(n, false);
}

void PrintPreviewDialog::showLastPage()
{
    if (!m_shown)
        return;
    if (!m_pages.complete) {
        const WaitCursor wait;
        const int shown = m_pages.page;
        m_pages = m_callback(nullptr, m_page.size(), INT_MAX);
        m_pages.page = shown;
    }
    showPage(m_pages.count);
}

bool PrintPreviewDialog::countMore()
{
    if (!m_shown || m_pages.complete || !m_callback)
        return false;
    const int shown = m_pages.page;
    m_pages = m_callback(nullptr, m_page.size(), m_pages.count + kCountStep);
    m_pages.page = shown;
    updatePageControls();
    return !m_pages.complete;
}

void PrintPreviewDialog::updatePageControls()
{
    const bool none = m_pages.complete && m_pages.count == 0;
    {
        const QSignalBlocker blocker(m_pageBox);
        m_pageBox->setRange(1, m_pages.complete ? std::max(m_pages.count, 1) : kPageFieldMax);
        m_pageBox->setValue(std::max(m_pages.page, 1));
    }
    m_pageBox->setEnabled(!none);
    if (none)
        m_pageCount->setText(QStringLiteral("of 0: nothing to print"));
    else if (m_pages.complete)
        m_pageCount->setText(QStringLiteral("of %1").arg(m_pages.count));
    else
        m_pageCount->setText(QStringLiteral("of %1%2").arg(m_pages.count).arg(QChar(0x2026)));
}

bool PrintPreviewDialog::pageKey(const QKeyEvent &event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event.key()) {
    case Qt::Key_PageUp:
        showPage(m_pages.page - 1);
        return true;
    case Qt::Key_PageDown:
        showPage(m_pages.page + 1);
        return true;
    case Qt::Key_Home:
        showPage(1);
        return true;
    case Qt::Key_End:
        showLastPage();
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_view->zoomStep(true);
        return true;
    case Qt::Key_Minus:
        m_view->zoomStep(false);
        return true;
    default:
        return false;
    }
}

void PrintPreviewDialog::keyPressEvent(QKeyEvent *event)
{
    // Keys the page field leaves alone reach here from any control but it.
    bool handled = false;
    if (!m_pageBox->hasFocus())
        runGuarded([&] { handled = pageKey(*event); });
    if (handled)
        event->accept();
    else
        QDialog::keyPressEvent(event);
}

bool PrintPreviewDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_view || watched == m_pageBox)) {
        const auto &key = static_cast<const QKeyEvent &>(*event);
        bool handled = false;
        runGuarded([&] {
            if (watched == m_view) {
                // The picture's own keys would scroll.
                handled = pageKey(key);
            } else if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
                // Enter in the page field shows that page; it must not print.
                m_pageBox->interpretText();
                handled = true;
            } else if (key.key() == Qt::Key_PageUp || key.key() == Qt::Key_PageDown) {
                // The field would step by ten.
                handled = pageKey(key);
            }
        });
        if (handled)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void PrintPreviewDialog::printSetup()
{
    bool confirmed = false;
    if (runPageSetup) {
        confirmed = runPageSetup(m_printer);
    } else {
        QPageSetupDialog dialog(&m_printer, this);
        confirmed = dialog.exec() == QDialog::Accepted;
    }
    if (!confirmed)
        return;
    if (preparePage())
        renderPage();
}
