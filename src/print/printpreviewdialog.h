#pragma once

#include <QDialog>
#include <QPointer>
#include <QImage>
#include <QTimer>

#include <functional>

class QLabel;
class QPainter;
class QPushButton;
class QPrinter;
class QSpinBox;
class ZoomableImageView;

// What the preview knows of the pages to print after a call of its callback.
struct PreviewPages
{
    int page = 0;          // the page drawn; 0 when there is none to print
    int count = 0;         // pages laid out so far
    bool complete = false; // Count is all there are
    bool operator==(const PreviewPages &) const = default;
};

// Draws page `page` (1 for the first page printed, the last when there are
// fewer) onto the canvas of a bitmap the size of the printer page in screen
// pixels. Without a canvas it only counts the pages, up to that one.
using PreviewCallback =
    std::function<PreviewPages(QPainter *canvas, const QSize &pageSize, int page)>;

// The print preview: a picture of a page to be printed, the first one at
// the start, scaled to fit, a button for the printer's page setup, and
// "Print" or "Cancel". Page Up and Page Down, Home and End, and the page
// number move through the pages; + and - zoom. It knows nothing about text;
// the callback draws the page and says how many there are, which it counts
// while the dialog waits for the user.
class PrintPreviewDialog final : public QDialog
{
public:
    PrintPreviewDialog(QPrinter &printer, PreviewCallback callback, QWidget *parent = nullptr);

    // Shows the dialog modally; true when it closed with "Print". True also,
    // without a dialog, when the page bitmap cannot be made: the print then
    // goes ahead without preview.
    // shown points at the dialog while it is up, so that it can be closed
    // from outside.
    static bool showTextPreview(QPrinter &printer, PreviewCallback callback,
                                QWidget *parent = nullptr, QPointer<QDialog> *shown = nullptr);

    // Sizes the page bitmap for the printer's page; false, after saying so,
    // when there is not memory enough.
    bool preparePage();
    bool preparePage(const QSize &pageSize);
    // Draws the current page through the callback and shows it fitted (once
    // shown).
    void renderPage();
    // Shows page n (1 for the first), or the nearest one there is.
    void showPage(int n);
    void showLastPage();
    int page() const { return m_pages.page; }
    const PreviewPages &pages() const { return m_pages; }
    // Counts some more pages, as the dialog does while it waits; false once
    // all are known.
    bool countMore();

    ZoomableImageView *view() const { return m_view; }
    const QImage &pageBitmap() const { return m_page; }
    QPushButton *setupButton() const { return m_setup; }
    QSpinBox *pageBox() const { return m_pageBox; }
    QLabel *pageCountLabel() const { return m_pageCount; }

    static const QString &allocationMessage();

    // The printer's page setup behind "&Print setup..."; true when confirmed.
    // Unset: the system's page setup dialog.
    std::function<bool(QPrinter &printer)> runPageSetup;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void printSetup();
    void renderPage(int page, bool fit);
    // The keys that move through the pages or zoom, wherever the focus is.
    bool pageKey(const QKeyEvent &event);
    void updatePageControls();

    QPrinter &m_printer;
    PreviewCallback m_callback;
    QImage m_page;
    bool m_shown = false;
    PreviewPages m_pages;
    QTimer m_counter; // counts the pages in steps while idle
    ZoomableImageView *m_view = nullptr;
    QPushButton *m_setup = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageCount = nullptr;
};

// The printer page in pixels at the screen's resolution.
QSize screenPageSize(const QPrinter &printer);
// The resolution fonts and pages are measured at on screen.
double screenDpi();
