#include "print/qzprintpreview.h"

#include "print/pagegeometry.h"
#include "print/qzimagebox.h"
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

double ScreenDpi()
{
    // The resolution QFontMetrics measures the viewer's fonts at.
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? std::round(screen->logicalDotsPerInchY()) : 96.0;
}

QSize ScreenPageSize(const QPrinter &printer)
{
    const double dpi = ScreenDpi();
    return QSize(ToScreenPixels(printer.width(), printer.logicalDpiX(), dpi),
                 ToScreenPixels(printer.height(), printer.logicalDpiY(), dpi));
}

const QString &TFormQzPreview::AllocationMessage()
{
    static const QString text =
        QStringLiteral("Cannot allocate temporary bitmap, not enough memory.");
    return text;
}

TFormQzPreview::TFormQzPreview(QPrinter &printer, TQzPreviewCallback callback, QWidget *parent)
    : QDialog(parent), m_printer(printer), m_callback(std::move(callback)),
      m_page(100, 100, QImage::Format_RGB888)
{
    setWindowTitle(QStringLiteral("Print preview"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setSizeGripEnabled(false);

    auto *group = new QGroupBox(QStringLiteral(" Preview "), this);
    m_view = new TQzImageBox(group);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_view);

    m_setup = new QPushButton(QStringLiteral("&Print setup..."), this);
    auto *print = new QPushButton(QStringLiteral("Print"), this);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    print->setDefault(true);
    connect(m_setup, &QPushButton::clicked, this, Guarded([this] { PrintSetup(); }));
    connect(print, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(cancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));

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
            Guarded([this](int page) { ShowPage(page); }));
    m_pageBox->installEventFilter(this);
    m_view->installEventFilter(this);

    m_counter.setInterval(0);
    connect(&m_counter, &QTimer::timeout, this, Guarded([this] {
        if (!CountMore())
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

bool TFormQzPreview::ShowTextPreview(QPrinter &printer, TQzPreviewCallback callback,
                                     QWidget *parent)
{
    TFormQzPreview form(printer, std::move(callback), parent);
    if (!form.PreparePage())
        return true;
    return form.exec() == QDialog::Accepted;
}

bool TFormQzPreview::PreparePage()
{
    return PreparePage(ScreenPageSize(m_printer));
}

bool TFormQzPreview::PreparePage(const QSize &pageSize)
{
    QImage page;
    if (pageSize.width() > 0 && pageSize.height() > 0)
        page = QImage(pageSize, QImage::Format_RGB888);
    if (page.isNull()) {
        ShowMessage(QStringLiteral("Print preview"), AllocationMessage(), MsgIcon::Error);
        return false;
    }
    m_page = std::move(page);
    return true;
}

void TFormQzPreview::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    RunGuarded([this] { RenderPage(); });
    m_view->setFocus(Qt::OtherFocusReason);
}

void TFormQzPreview::RenderPage()
{
    Render(std::max(m_pages.Page, 1), true);
}

void TFormQzPreview::Render(int page, bool fit)
{
    if (!m_shown)
        return;
    Require(bool(m_callback), QStringLiteral("Callback not assigned"),
            QStringLiteral("QzPrintPreview"));
    const WaitCursor wait;
    m_page.fill(Qt::white);
    {
        QPainter painter(&m_page);
        m_pages = m_callback(&painter, m_page.size(), page);
    }
    m_view->SetPicture(m_page);
    m_view->SetSmoothResample(true);
    if (fit)
        m_view->SetFitToWindow(true);
    // A new page is read from its top, at the zoom of the last one.
    m_view->verticalScrollBar()->setValue(0);
    UpdatePageControls();
    if (!m_pages.Complete)
        m_counter.start();
}

void TFormQzPreview::ShowPage(int n)
{
    n = std::max(n, 1);
    if (m_pages.Complete)
        n = std::min(n, std::max(m_pages.Count, 1));
    if (n == m_pages.Page) {
        UpdatePageControls();
        return;
    }
    Render(n, false);
}

void TFormQzPreview::ShowLastPage()
{
    if (!m_shown)
        return;
    if (!m_pages.Complete) {
        const WaitCursor wait;
        const int shown = m_pages.Page;
        m_pages = m_callback(nullptr, m_page.size(), INT_MAX);
        m_pages.Page = shown;
    }
    ShowPage(m_pages.Count);
}

bool TFormQzPreview::CountMore()
{
    if (!m_shown || m_pages.Complete || !m_callback)
        return false;
    const int shown = m_pages.Page;
    m_pages = m_callback(nullptr, m_page.size(), m_pages.Count + kCountStep);
    m_pages.Page = shown;
    UpdatePageControls();
    return !m_pages.Complete;
}

void TFormQzPreview::UpdatePageControls()
{
    const bool none = m_pages.Complete && m_pages.Count == 0;
    {
        const QSignalBlocker blocker(m_pageBox);
        m_pageBox->setRange(1, m_pages.Complete ? std::max(m_pages.Count, 1) : kPageFieldMax);
        m_pageBox->setValue(std::max(m_pages.Page, 1));
    }
    m_pageBox->setEnabled(!none);
    if (none)
        m_pageCount->setText(QStringLiteral("of 0: nothing to print"));
    else if (m_pages.Complete)
        m_pageCount->setText(QStringLiteral("of %1").arg(m_pages.Count));
    else
        m_pageCount->setText(QStringLiteral("of %1%2").arg(m_pages.Count).arg(QChar(0x2026)));
}

bool TFormQzPreview::PageKey(const QKeyEvent &event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event.key()) {
    case Qt::Key_PageUp:
        ShowPage(m_pages.Page - 1);
        return true;
    case Qt::Key_PageDown:
        ShowPage(m_pages.Page + 1);
        return true;
    case Qt::Key_Home:
        ShowPage(1);
        return true;
    case Qt::Key_End:
        ShowLastPage();
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_view->ZoomStep(true);
        return true;
    case Qt::Key_Minus:
        m_view->ZoomStep(false);
        return true;
    default:
        return false;
    }
}

void TFormQzPreview::keyPressEvent(QKeyEvent *event)
{
    // Keys the page field leaves alone reach here from any control but it.
    bool handled = false;
    if (!m_pageBox->hasFocus())
        RunGuarded([&] { handled = PageKey(*event); });
    if (handled)
        event->accept();
    else
        QDialog::keyPressEvent(event);
}

bool TFormQzPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_view || watched == m_pageBox)) {
        const auto &key = static_cast<const QKeyEvent &>(*event);
        bool handled = false;
        RunGuarded([&] {
            if (watched == m_view) {
                // The picture's own keys would scroll.
                handled = PageKey(key);
            } else if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
                // Enter in the page field shows that page; it must not print.
                m_pageBox->interpretText();
                handled = true;
            } else if (key.key() == Qt::Key_PageUp || key.key() == Qt::Key_PageDown) {
                // The field would step by ten.
                handled = PageKey(key);
            }
        });
        if (handled)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormQzPreview::PrintSetup()
{
    bool confirmed = false;
    if (RunPageSetup) {
        confirmed = RunPageSetup(m_printer);
    } else {
        QPageSetupDialog dialog(&m_printer, this);
        confirmed = dialog.exec() == QDialog::Accepted;
    }
    if (!confirmed)
        return;
    if (PreparePage())
        RenderPage();
}
