#pragma once

#include <QDialog>

class QLabel;

// The about box: the program's image, its name and its version.
class TFormAbout final : public QDialog
{
public:
    explicit TFormAbout(QWidget *parent = nullptr);

    QLabel *labName = nullptr;
    QLabel *labVer = nullptr;
};
