#include "print/pagegeometry.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {
int mmToPixels(double mm, double dpi)
{
    // Truncation, as the page has whole pixels and a margin never grows.
    return int(std::trunc(dpi * mm / 25.4));
}
} // namespace

PageEdges marginRect(const PageMargins &margins, int pageWidth, int pageHeight, double dpiX,
                     double dpiY)
{
    return {mmToPixels(margins.left, dpiX), mmToPixels(margins.top, dpiY),
            pageWidth - mmToPixels(margins.right, dpiX),
            pageHeight - mmToPixels(margins.bottom, dpiY)};
}

int toScreenPixels(int devicePixels, double deviceDpi, double screenDpi)
{
    if (deviceDpi <= 0 || screenDpi <= 0)
        return devicePixels;
    return int(std::trunc(devicePixels / (deviceDpi / screenDpi)));
}

int footerHeight(double pointSize, double dpi)
{
    return footerHeightPixels(int(std::lround(pointSize * dpi / 72.0)));
}

int footerHeightPixels(int pixelSize)
{
    // In tenths: a double 1.2 puts some products just below the whole number.
    return pixelSize * 12 / 10;
}

QString footerText(const QString &fileName, int page)
{
    const QString number = QString::number(page);
    if (fileName.isEmpty())
        return number;
    return QFileInfo(fileName).fileName() + QStringLiteral(" - ") + number;
}

QString defaultJobTitle(const QString &fileName)
{
    const QString viewer = QStringLiteral("Viewer");
    if (fileName.isEmpty())
        return viewer;
    return viewer + QStringLiteral(" - ") + QFileInfo(fileName).fileName();
}

int footerTextLeft(int left, int right, int textWidth)
{
    return std::max((left + right - textWidth) / 2, left);
}
