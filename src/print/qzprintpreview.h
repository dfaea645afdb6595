#pragma once

#include <QDialog>
#include <QImage>

#include <functional>

class QPainter;
class QPushButton;
class QPrinter;
class TQzImageBox;

// Draws a page onto the canvas of a bitmap the size of the printer page in
// screen pixels.
using TQzPreviewCallback = std::function<void(QPainter &canvas, const QSize &pageSize)>;

// The print preview: a picture of the first page to be printed, scaled to
// fit, a button for the printer's page setup, and "Print" or "Cancel". It
// knows nothing about text; the callback draws the page.
class TFormQzPreview final : public QDialog
{
public:
    TFormQzPreview(QPrinter &printer, TQzPreviewCallback callback, QWidget *parent = nullptr);

    // Shows the dialog modally; true when it closed with "Print". True also,
    // without a dialog, when the page bitmap cannot be made: the print then
    // goes ahead without preview.
    static bool ShowTextPreview(QPrinter &printer, TQzPreviewCallback callback,
                                QWidget *parent = nullptr);

    // Sizes the page bitmap for the printer's page; false, after saying so,
    // when there is not memory enough.
    bool PreparePage();
    bool PreparePage(const QSize &pageSize);
    // Draws the page through the callback and shows it fitted (once shown).
    void RenderPage();

    TQzImageBox *View() const { return m_view; }
    const QImage &PageBitmap() const { return m_page; }
    QPushButton *SetupButton() const { return m_setup; }

    static const QString &AllocationMessage();

    // The printer's page setup behind "&Print setup..."; true when confirmed.
    // Unset: the system's page setup dialog.
    std::function<bool(QPrinter &printer)> RunPageSetup;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void PrintSetup();

    QPrinter &m_printer;
    TQzPreviewCallback m_callback;
    QImage m_page;
    bool m_shown = false;
    TQzImageBox *m_view = nullptr;
    QPushButton *m_setup = nullptr;
};

// The printer page in pixels at the screen's resolution.
QSize ScreenPageSize(const QPrinter &printer);
// The resolution fonts and pages are measured at on screen.
double ScreenDpi();
