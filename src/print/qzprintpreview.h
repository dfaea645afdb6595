#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>

#include <functional>

class QLabel;
class QPainter;
class QPushButton;
class QPrinter;
class QSpinBox;
class TQzImageBox;

// What the preview knows of the pages to print after a call of its callback.
struct TQzPreviewPages
{
    int Page = 0;          // the page drawn; 0 when there is none to print
    int Count = 0;         // pages laid out so far
    bool Complete = false; // Count is all there are
    bool operator==(const TQzPreviewPages &) const = default;
};

// Draws page `page` (1 for the first page printed, the last when there are
// fewer) onto the canvas of a bitmap the size of the printer page in screen
// pixels. Without a canvas it only counts the pages, up to that one.
using TQzPreviewCallback =
    std::function<TQzPreviewPages(QPainter *canvas, const QSize &pageSize, int page)>;

// The print preview: a picture of a page to be printed, the first one at
// the start, scaled to fit, a button for the printer's page setup, and
// "Print" or "Cancel". Page Up and Page Down, Home and End, and the page
// number move through the pages; + and - zoom. It knows nothing about text;
// the callback draws the page and says how many there are, which it counts
// while the dialog waits for the user.
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
    // Draws the current page through the callback and shows it fitted (once
    // shown).
    void RenderPage();
    // Shows page n (1 for the first), or the nearest one there is.
    void ShowPage(int n);
    void ShowLastPage();
    int Page() const { return m_pages.Page; }
    const TQzPreviewPages &Pages() const { return m_pages; }
    // Counts some more pages, as the dialog does while it waits; false once
    // all are known.
    bool CountMore();

    TQzImageBox *View() const { return m_view; }
    const QImage &PageBitmap() const { return m_page; }
    QPushButton *SetupButton() const { return m_setup; }
    QSpinBox *PageBox() const { return m_pageBox; }
    QLabel *PageCountLabel() const { return m_pageCount; }

    static const QString &AllocationMessage();

    // The printer's page setup behind "&Print setup..."; true when confirmed.
    // Unset: the system's page setup dialog.
    std::function<bool(QPrinter &printer)> RunPageSetup;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PrintSetup();
    void Render(int page, bool fit);
    // The keys that move through the pages or zoom, wherever the focus is.
    bool PageKey(const QKeyEvent &event);
    void UpdatePageControls();

    QPrinter &m_printer;
    TQzPreviewCallback m_callback;
    QImage m_page;
    bool m_shown = false;
    TQzPreviewPages m_pages;
    QTimer m_counter; // counts the pages in steps while idle
    TQzImageBox *m_view = nullptr;
    QPushButton *m_setup = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageCount = nullptr;
};

// The printer page in pixels at the screen's resolution.
QSize ScreenPageSize(const QPrinter &printer);
// The resolution fonts and pages are measured at on screen.
double ScreenDpi();
