#pragma once

#include "print/pagegeometry.h"
#include "print/qzprintpreview.h"

#include <QString>

#include <functional>

class QPainter;
class QPrinter;
class TQzBinHex;

enum class TQzPrintRange { All = 0, Selection = 1, PageNums = 2 };

// What the pages of a run are taken from: the whole file, the lines of the
// selection, or a range of page numbers.
struct TQzPrintRequest
{
    TQzPrintRange Range = TQzPrintRange::All;
    int FromPage = 1;
    int ToPage = 1;
};

// What a print run did.
struct TQzPrintResult
{
    int PagesLaidOut = 0; // pages rendered, output or not
    int PagesOutput = 0;
    bool Cancelled = false;
    bool ReadFailed = false; // a page could not be read; the run ended after it
};

// Prints a viewer's text page by page: wrapped, without gutter or markers,
// black on white, with the footer "file name - page" under each page. The
// viewer is used for its layout and is left exactly as it was found, also
// when the run fails.
class TQzViewPrinter
{
public:
    explicit TQzViewPrinter(TQzBinHex &view) : m_view(view) {}

    TQzMargins Margins;

    // The preview step: shows the page through the callback and says whether
    // to print. Unset: the print preview dialog.
    std::function<bool(QPrinter &printer, const TQzPreviewCallback &callback)> Preview;
    // Called before each page is laid out, with the pages so far and the
    // share of the data done (0..1); false cancels. Unset: a progress window
    // with Cancel once the run takes longer than a second or passes 2000
    // pages.
    std::function<bool(int pages, double done)> Progress;

    // The whole run: preview, then the pages to the printer. A cancelled
    // preview prints nothing. Copies below 1 print one; an empty title
    // gives "Viewer - file name".
    TQzPrintResult Print(QPrinter &printer, const TQzPrintRequest &request, int copies,
                         const QString &title = QString());

    // Renders the pages. With a canvas (the preview, pageSize in screen
    // pixels) it draws the first page that would be output and stops;
    // without one it prints them on the printer, whose painter starts with
    // the first page that is output.
    TQzPrintResult PrintPages(QPainter *canvas, const QSize &pageSize, QPrinter *printer,
                              const TQzPrintRequest &request);

    // The footer of a page into its rectangle, filled white first.
    void DrawFooter(QPainter &painter, const QRect &rect, int page) const;
    // Footer height in pixels at screen resolution.
    int FooterPixels() const;

private:
    TQzBinHex &m_view;
    QPainter *m_job = nullptr; // the painter of the job Print runs
    int m_pageCopies = 1;      // times each page is drawn
};
