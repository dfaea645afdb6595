#pragma once

#include <QString>
#include <QTextDocument>

// A tool tip's text as Qt shows it: taken for markup when it looks like markup.
inline QString shownToolTip(const QString &tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}
