#pragma once

#include <QString>

// Paging maths of a print run, free of any device: where the text and the
// footer go on a page, in the pixels of one resolution.

// Print margins in millimetres.
struct PageMargins
{
    double left = 10.0;
    double top = 10.0;
    double right = 10.0;
    double bottom = 10.0;
};

// A rectangle given by its edges; Right and Bottom lie just outside it.
struct PageEdges
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PageEdges &) const = default;
};

// The margin rectangle of a page of pageWidth x pageHeight pixels at dpiX
// and dpiY pixels per inch.
PageEdges marginRect(const PageMargins &margins, int pageWidth, int pageHeight, double dpiX,
                     double dpiY);

// A page of device pixels at deviceDpi, in pixels at screenDpi (truncated).
int toScreenPixels(int devicePixels, double deviceDpi, double screenDpi);

// Footer height: the footer font's character height in pixels times 1.2,
// truncated. The height is the point size at that resolution, rounded.
int footerHeight(double pointSize, double dpi);
// The same when the font is given in pixels.
int footerHeightPixels(int pixelSize);

// "name - page", or the page number alone without a file.
QString footerText(const QString &fileName, int page);

// The job title when none is given: "Viewer - name", or "Viewer".
QString defaultJobTitle(const QString &fileName);

// Where the footer text starts: centred, but never left of the rectangle.
int footerTextLeft(int left, int right, int textWidth);
