#include "app/aboutdialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(QIcon(QStringLiteral(":/icons/ravelin.svg")).pixmap(48, 48));
    image->setFixedSize(48, 48);

    labName = new QLabel(this);
    labName->setObjectName(QStringLiteral("labName"));
    QFont nameFont(QStringLiteral("Tahoma"), 14);
    nameFont.setBold(true);
    labName->setFont(nameFont);
    labVer = new QLabel(this);
    labVer->setObjectName(QStringLiteral("labVer"));

    auto *texts = new QVBoxLayout;
    texts->addWidget(labName);
    texts->addWidget(labVer);
    texts->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(image, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    // OK is also the cancel button: Esc closes the box the same way.
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    buttons->setCenterButtons(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addWidget(buttons);
    setMinimumSize(292, 170);
    setSizeGripEnabled(false);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
