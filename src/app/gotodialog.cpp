#include "app/gotodialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

GoToDialog::GoToDialog(QWidget *parent) : QDialog(parent), m_edit(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Go to"));
    auto *label = new QLabel(
        QStringLiteral("&Line (12345), percentage (50%), byte offset (@123456, @0x1e240)\n"
                       "or time (10:30, 10:30:15, 2026-12-09 10:30):"),
        this);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(m_edit);
    m_edit->setObjectName(QStringLiteral("goToText"));
    m_edit->setMaxLength(200);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

QString GoToDialog::text() const
{
    return m_edit->text();
}

void GoToDialog::setText(const QString &text)
{
    m_edit->setText(text);
    m_edit->selectAll();
}
