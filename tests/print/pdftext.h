#pragma once

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// Reads a PDF back with poppler's tools, as a user's viewer would show it.
namespace pdftext {

inline QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed on " << args.join(' ').toStdString()
                      << ": " << p.readAllStandardError().toStdString();
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A field of pdfinfo ("Pages", "Title", "Page size").
inline QString info(const QString &pdf, const QString &field)
{
    const QString out = run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpression re(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                QRegularExpression::MultilineOption);
    const auto m = re.match(out);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

inline int pages(const QString &pdf)
{
    return info(pdf, QStringLiteral("Pages")).toInt();
}

// The non-empty lines of one page (1-based), in reading order.
inline QStringList pageLines(const QString &pdf, int page)
{
    const QString out =
        run(QStringLiteral("pdftotext"),
            {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(page),
             QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
    QStringList lines;
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed().remove(QChar(0x0C));
        if (!t.isEmpty())
            lines << t;
    }
    return lines;
}

struct Word
{
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0; // points from the top left
};

// Every word of one page with its box.
inline std::vector<Word> pageWords(const QString &pdf, int page)
{
    const QString out =
        run(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
             QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
    std::vector<Word> words;
    const QRegularExpression re(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto it = re.globalMatch(out); it.hasNext();) {
        const auto m = it.next();
        words.push_back({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(),
                         m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return words;
}

// One page rendered at dpi, as the picture poppler paints of it; base is
// the path, without extension, of the PNG file made on the way.
inline QImage renderPage(const QString &pdf, int page, double dpi, const QString &base)
{
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QString::number(page),
         QStringLiteral("-l"), QString::number(page), QStringLiteral("-png"),
         QStringLiteral("-singlefile"), pdf, base});
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// Pixels of a clear colour; the edges of black or grey text are grey.
inline int colouredPixels(const QImage &picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            const int spread =
                std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)});
            count += spread > 60;
        }
    return count;
}

// The darkest grey level inside a word's box of a page rendered at dpi.
inline int darkest(const QImage &page, const Word &word, double dpi)
{
    const double k = dpi / 72.0;
    int darkest = 255;
    for (int y = int(word.yMin * k); y <= int(word.yMax * k) && y < page.height(); ++y)
        for (int x = int(word.xMin * k); x <= int(word.xMax * k) && x < page.width(); ++x)
            darkest = std::min(darkest, qGray(page.pixel(x, y)));
    return darkest;
}

} // namespace pdftext
