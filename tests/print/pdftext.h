#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

// Reads a PDF back with poppler's tools, as a user's viewer would show it.
namespace pdftext {

inline QString Run(const QString &program, const QStringList &args)
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
inline QString Info(const QString &pdf, const QString &field)
{
    const QString out = Run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpression re(QStringLiteral("^%1:\\s*(.*)$").arg(field),
                                QRegularExpression::MultilineOption);
    const auto m = re.match(out);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

inline int Pages(const QString &pdf)
{
    return Info(pdf, QStringLiteral("Pages")).toInt();
}

// The non-empty lines of one page (1-based), in reading order.
inline QStringList PageLines(const QString &pdf, int page)
{
    const QString out =
        Run(QStringLiteral("pdftotext"),
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
    QString Text;
    double XMin = 0, YMin = 0, XMax = 0, YMax = 0; // points from the top left
};

// Every word of one page with its box.
inline std::vector<Word> PageWords(const QString &pdf, int page)
{
    const QString out =
        Run(QStringLiteral("pdftotext"),
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

} // namespace pdftext
