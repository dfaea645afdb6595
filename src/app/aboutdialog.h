#pragma once

#include <QDialog>

class QLabel;

// The about box: the program's image, its name and its version.
class AboutDialog final : public QDialog
{
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    QLabel *labName = nullptr;
    QLabel *labVer = nullptr;
};
