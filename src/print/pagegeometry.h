#pragma once

#include <QString>

// Paging maths of a print run, free of any device: where the text and the
// footer go on a page, in the pixels of one resolution.

// Print margins in millimetres.
struct TQzMargins
{
    double Left = 10.0;
    double Top = 10.0;
    double Right = 10.0;
    double Bottom = 10.0;
};

// A rectangle given by its edges; Right and Bottom lie just outside it.
struct TQzEdges
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TQzEdges &) const = default;
};

// The margin rectangle of a page of pageWidth x pageHeight pixels at dpiX
// and dpiY pixels per inch.
TQzEdges MarginRect(const TQzMargins &margins, int pageWidth, int pageHeight, double dpiX,
                    double dpiY);

// A page of device pixels at deviceDpi, in pixels at screenDpi (truncated).
int ToScreenPixels(int devicePixels, double deviceDpi, double screenDpi);

// Footer height: the footer font's character height in pixels times 1.2,
// truncated. The height is the point size at that resolution, rounded.
int FooterHeight(double pointSize, double dpi);
// The same when the font is given in pixels.
int FooterHeightPixels(int pixelSize);

// "name - page", or the page number alone without a file.
QString FooterText(const QString &fileName, int page);

// The job title when none is given: "Viewer - name", or "Viewer".
QString DefaultJobTitle(const QString &fileName);

// Where the footer text starts: centred, but never left of the rectangle.
int FooterTextLeft(int left, int right, int textWidth);
