#include "text/stringutil.h"

#include "text/contract.h"

#include <algorithm>

namespace {

const QString unit = QStringLiteral("QzxSProc");

QString asciiLower(QString s)
{
    for (QChar &c : s) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return s;
}

} // namespace

QString formatStrW(const QString &format, const QStringList &args)
{
    QString result = format;
    for (const QString &arg : args)
        result = replaceFirstW(result, QStringLiteral("%s"), arg);
    return result;
}

QString replaceFirstW(const QString &s, const QString &oldText, const QString &newText)
{
    if (oldText.isEmpty())
        return s;
    const qsizetype at = s.indexOf(oldText);
    if (at < 0)
        return s;
    QString result = s;
    result.replace(at, oldText.size(), newText);
    return result;
}

QString replaceAllW(const QString &s, const QString &oldText, const QString &newText)
{
    if (oldText.isEmpty())
        return s;
    if (newText.contains(oldText)) {
        QString result = s;
        return result.replace(oldText, newText);
    }
    // Nothing before the last replacement matched, so a new occurrence can only
    // start within the old text's length before the replaced part.
    QString result = s;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = result.indexOf(oldText, from);
        if (at < 0)
            return result;
        result.replace(at, oldText.size(), newText);
        from = qMax<qsizetype>(0, at - oldText.size() + 1);
    }
}

int lastDelimiterW(const QString &delimiters, const QString &s)
{
    for (qsizetype i = s.size() - 1; i >= 0; --i) {
        if (delimiters.contains(s.at(i)))
            return int(i + 1);
    }
    return 0;
}

QString extractFileExtW(const QString &name)
{
    const int at = lastDelimiterW(QStringLiteral("./"), name);
    if (at > 0 && name.at(at - 1) == QLatin1Char('.'))
        return name.mid(at - 1);
    return QString();
}

QString extractFileNameW(const QString &name)
{
    return name.mid(lastDelimiterW(QStringLiteral("/"), name));
}

QString lowerCaseW(const QString &s)
{
    return s.toLower();
}

QString stringOfCharW(QChar c, int count)
{
    return count > 0 ? QString(count, c) : QString();
}

QString tabSpaces(const TabInfo &info)
{
    require(info.tabSize > 0, QStringLiteral("Tab size too small"), unit);
    int width = info.tabSize;
    if (info.tabOptimal) // non-negative remainder even for a position below 1
        width -= ((info.tabPos - 1) % info.tabSize + info.tabSize) % info.tabSize;
    QString result(width, QLatin1Char(' '));
    if (info.showTabMarker)
        result[width / 2] = info.tabMarker;
    return result;
}

QString expandTabs(const QString &s, TabInfo &info)
{
    // A tab's position is taken in the text expanded so far, which is the
    // output written before it: tab stops fall every TabSize displayed columns.
    // Two linear passes (measure, then fill) that carry the column within the
    // current tab stop instead of dividing per tab.
    if (!s.contains(QLatin1Char('\t')))
        return s;
    require(info.tabSize > 0, QStringLiteral("Tab size too small"), unit);
    const int size = info.tabSize;
    const auto advance = [size](int column) { return column + 1 == size ? 0 : column + 1; };

    qsizetype length = 0;
    int column = 0; // length % size
    for (const QChar c : s) {
        if (c == QLatin1Char('\t')) {
            length += info.tabOptimal ? size - column : size;
            if (info.tabOptimal)
                column = 0;
        } else {
            ++length;
            column = advance(column);
        }
    }

    QString out(length, Qt::Uninitialized);
    QChar *const begin = out.data();
    QChar *dst = begin;
    column = 0;
    for (const QChar c : s) {
        if (c != QLatin1Char('\t')) {
            *dst++ = c;
            column = advance(column);
            continue;
        }
        info.tabPos = int(dst - begin + 1);
        const int width = info.tabOptimal ? size - column : size;
        std::fill_n(dst, width, QLatin1Char(' '));
        if (info.showTabMarker)
            dst[width / 2] = info.tabMarker;
        dst += width;
        if (info.tabOptimal)
            column = 0;
    }
    return out;
}

QString trimTrailingBlank(const QString &s)
{
    if (!s.isEmpty() && (s.back() == QLatin1Char(' ') || s.back() == QLatin1Char('\t')))
        return s.left(s.size() - 1);
    return s;
}

QByteArray zerosToSpaces(const QByteArray &s)
{
    QByteArray result = s;
    return result.replace('\0', ' ');
}

QString zerosToSpacesW(const QString &s)
{
    QString result = s;
    return result.replace(QChar(0), QLatin1Char(' '));
}

bool extensionInList(const QString &fileName, const QByteArray &list)
{
    if (fileName.isEmpty() || list.isEmpty())
        return false;
    const QString ext = extractFileExtW(fileName).mid(1);
    if (ext.isEmpty())
        return false;
    const QString comma = QStringLiteral(",");
    const QString haystack = asciiLower(comma + QString::fromUtf8(list) + comma);
    return haystack.contains(asciiLower(comma + ext + comma));
}

int min(int a, int b)
{
    return a < b ? a : b;
}

int max(int a, int b)
{
    return a > b ? a : b;
}

qint64 min64(qint64 a, qint64 b)
{
    return a < b ? a : b;
}

qint64 max64(qint64 a, qint64 b)
{
    return a > b ? a : b;
}

void limitMin(int &v, int bound)
{
    if (v < bound)
        v = bound;
}

void limitMax(int &v, int bound)
{
    if (v > bound)
        v = bound;
}

void limitMin64(qint64 &v, qint64 bound)
{
    if (v < bound)
        v = bound;
}

void limitMax64(qint64 &v, qint64 bound)
{
    if (v > bound)
        v = bound;
}
