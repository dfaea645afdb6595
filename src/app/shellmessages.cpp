#include "app/shellmessages.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QTextDocument>
#include <QWidget>

namespace {
const QString kCaption = QStringLiteral("Ravelin");
}

void msgError(const QString &text)
{
    showMessage(kCaption, text, MsgIcon::Error);
}

void msgWarning(const QString &text)
{
    showMessage(kCaption, text, MsgIcon::Warning);
}

QWidget *messageOwner()
{
    if (QWidget *active = QApplication::activeWindow())
        return active;
    // Just after the start the main window is shown but not yet active.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && qobject_cast<QMainWindow *>(window))
            return window;
    return nullptr;
}

bool isFormOnTop(const QWidget *form)
{
    return form->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void setFormOnTop(QWidget *form, bool onTop)
{
    if (isFormOnTop(form) == onTop)
        return;
    // Changing window flags re-creates the native window and hides it.
    const bool visible = form->isVisible();
    const QPoint position = form->pos();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    form->move(position);
    if (visible)
        form->show();
}

QString messageBoxText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

QString plainMenuText(const QString &text)
{
    QString shown = text;
    shown.replace(u'&', QStringLiteral("&&"));
    return shown;
}

QString numberedMenuText(int number, const QString &text)
{
    if (text.isEmpty())
        return {};
    QString digits = QString::number(number);
    digits.insert(digits.size() - 1, u'&');
    return digits + u' ' + plainMenuText(text);
}

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return {};
    // Pre-formatted: blanks and line breaks stay as the text has them.
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QString plainWindowTitle(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return shown;
}

void makeLabelsPlain(QWidget *widget)
{
    for (QLabel *label : widget->findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
}

std::unique_ptr<QMessageBox> createMessageBox(const QString &caption, const QString &text,
                                              MsgIcon icon, MsgButtons buttons)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case MsgIcon::Error:
        boxIcon = QMessageBox::Critical;
        break;
    case MsgIcon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case MsgIcon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case MsgIcon::Question:
        boxIcon = QMessageBox::Question;
        break;
    }
    QMessageBox::StandardButtons set = QMessageBox::Ok;
    switch (buttons) {
    case MsgButtons::Ok:
        break;
    case MsgButtons::OkCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case MsgButtons::RetryCancel:
        set = QMessageBox::Retry | QMessageBox::Cancel;
        break;
    case MsgButtons::YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    }
    auto box = std::make_unique<QMessageBox>(boxIcon, caption, QString(), set, messageOwner());
    // Messages quote file names, search texts and lines of the log.
    box->setTextFormat(Qt::PlainText);
    box->setText(messageBoxText(text));
    return box;
}

MsgResult MessageBoxSink::show(const QString &caption, const QString &text, MsgIcon icon,
                               MsgButtons buttons)
{
    const std::unique_ptr<QMessageBox> box = createMessageBox(caption, text, icon, buttons);
    switch (box->exec()) {
    case QMessageBox::Ok:
        return MsgResult::Ok;
    case QMessageBox::Retry:
        return MsgResult::Retry;
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    default:
        // Closing the box with Esc or its title bar is the safe answer.
        return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Cancel;
    }
}
