#pragma once

#include <QDialog>

class QLineEdit;

// Asks where to go: a line, a percentage, a byte offset or a time. The text
// is checked by its caller, which names the forms it reads when it cannot.
class GoToDialog final : public QDialog
{
public:
    explicit GoToDialog(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    QLineEdit *edit() const { return m_edit; }

private:
    QLineEdit *m_edit;
};
