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
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

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

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_setup);
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
}

void TFormQzPreview::RenderPage()
{
    if (!m_shown)
        return;
    Require(bool(m_callback), QStringLiteral("Callback not assigned"),
            QStringLiteral("QzPrintPreview"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct RestoreCursor
    {
        ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
    } restore;
    m_page.fill(Qt::white);
    {
        QPainter painter(&m_page);
        m_callback(painter, m_page.size());
    }
    m_view->SetPicture(m_page);
    m_view->SetSmoothResample(true);
    m_view->SetFitToWindow(true);
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
