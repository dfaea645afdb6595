#include "app/finddialog.h"

#include "app/shellmessages.h"
#include "text/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
} // namespace

FindDialog::FindDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormViewFindText"));
    setWindowTitle(QStringLiteral("Search"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    labFind = named(new QLabel(QStringLiteral("&Text to find:"), this), "labFind");
    edText = named(new QComboBox(this), "edText");
    edText->setEditable(true);
    edText->setInsertPolicy(QComboBox::NoInsert); // the history is the caller's
    edText->setMinimumContentsLength(32);
    edText->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    labFind->setBuddy(edText);
    btnRules = named(new QPushButton(QStringLiteral("R&ules"), this), "bRules");
    btnRules->setAutoDefault(false);
    mnuRules = named(new QMenu(this), "mnuRules");

    boxOptions = named(new QGroupBox(QStringLiteral(" Options "), this), "boxOptions");
    chkWords = named(new QCheckBox(QStringLiteral("&Whole words only"), boxOptions), "chkWords");
    chkCase = named(new QCheckBox(QStringLiteral("&Case sensitive"), boxOptions), "chkCase");
    chkRegex = named(new QCheckBox(QStringLiteral("&Regular expression"), boxOptions), "chkRegex");
    chkMLine = named(new QCheckBox(QStringLiteral("&Multiline regex"), boxOptions), "chkMLine");
    auto *options = new QGridLayout(boxOptions);
    options->addWidget(chkWords, 0, 0);
    options->addWidget(chkCase, 1, 0);
    options->addWidget(chkRegex, 0, 1);
    options->addWidget(chkMLine, 1, 1);

    boxDirection = named(new QGroupBox(QStringLiteral(" Direction "), this), "boxDirection");
    chkDirForward =
        named(new QRadioButton(QStringLiteral("&Forward"), boxDirection), "chkDirForward");
    chkDirBackward =
        named(new QRadioButton(QStringLiteral("&Backward"), boxDirection), "chkDirBackward");
    chkDirForward->setChecked(true);
    auto *direction = new QVBoxLayout(boxDirection);
    direction->addWidget(chkDirForward);
    direction->addWidget(chkDirBackward);

    boxOrigin = named(new QGroupBox(QStringLiteral(" Origin "), this), "boxOrigin");
    chkOriginCursor =
        named(new QRadioButton(QStringLiteral("From current &page"), boxOrigin), "chkOriginCursor");
    chkOriginEntire =
        named(new QRadioButton(QStringLiteral("&Entire file"), boxOrigin), "chkOriginEntire");
    chkOriginEntire->setChecked(true);
    auto *origin = new QVBoxLayout(boxOrigin);
    origin->addWidget(chkOriginCursor);
    origin->addWidget(chkOriginEntire);

    btnOk = named(new QPushButton(QStringLiteral("Find"), this), "btnOk");
    btnOk->setDefault(true);
    btnCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    btnCancel->setAutoDefault(false);

    auto *textRow = new QHBoxLayout;
    textRow->addWidget(labFind);
    textRow->addWidget(edText, 1);
    textRow->addWidget(btnRules);
    auto *boxes = new QHBoxLayout;
    boxes->addWidget(boxDirection);
    boxes->addWidget(boxOrigin);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(textRow);
    layout->addWidget(boxOptions);
    layout->addLayout(boxes);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(edText, btnRules);
    setTabOrder(btnRules, chkWords);
    setTabOrder(chkWords, chkCase);
    setTabOrder(chkCase, chkRegex);
    setTabOrder(chkRegex, chkMLine);
    setTabOrder(chkMLine, chkDirForward);
    setTabOrder(chkDirForward, chkOriginCursor);
    setTabOrder(chkOriginCursor, btnOk);
    setTabOrder(btnOk, btnCancel);

    // Programmatic changes count as well: a rule chosen from the menu ticks
    // the box, and the permissions must hold for that too.
    connect(chkRegex, &QCheckBox::toggled, this, guarded([this] { regexToggled(); }));
    connect(btnRules, &QPushButton::clicked, this, guarded([this] { rulesClicked(); }));
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    edText->installEventFilter(this);
    edText->lineEdit()->installEventFilter(this);
}

bool FindDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == edText || watched == edText->lineEdit())) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        // The line edit would spend the first Enter on taking the history's
        // inline completion (the remembered text, all selected, looks like
        // one): one Enter finds what the box shows.
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            runGuarded([this] { btnOk->click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FindDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    runGuarded([this] {
        // Centred on the screen, not on the main window.
        if (const QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        regexToggled();
        edText->setFocus();
        edText->lineEdit()->selectAll();
    });
}

void FindDialog::regexToggled()
{
    if (!allowDirection)
        chkDirForward->setChecked(true);
    if (!allowRegex && chkRegex->isChecked()) {
        const QSignalBlocker quiet(chkRegex); // this very handler would run again
        chkRegex->setChecked(false);
    }
    if (!allowOrigin)
        chkOriginEntire->setChecked(true);
    const bool regex = chkRegex->isChecked();
    chkDirForward->setEnabled(allowDirection);
    chkDirBackward->setEnabled(allowDirection);
    chkOriginCursor->setEnabled(allowOrigin);
    chkOriginEntire->setEnabled(allowOrigin);
    chkRegex->setEnabled(allowRegex);
    chkMLine->setEnabled(chkRegex->isEnabled() && regex);
}

void FindDialog::fillRulesMenu()
{
    mnuRules->clear();
    for (int n = 1; n <= kRules; ++n) {
        const RuleChoice &rule = rules[size_t(n - 1)];
        if (rule.text.isEmpty())
            continue;
        QAction *item = mnuRules->addAction(plainMenuText(rule.text));
        item->setData(n);
        connect(item, &QAction::triggered, this, guarded([this, n] { ruleItemClick(n); }));
    }
}

void FindDialog::rulesClicked()
{
    fillRulesMenu();
    if (!mnuRules->isEmpty())
        mnuRules->popup(btnRules->mapToGlobal(QPoint(0, 0)));
}

void FindDialog::ruleItemClick(int ruleNumber)
{
    if (ruleNumber < 1 || ruleNumber > kRules)
        return;
    const RuleChoice &rule = rules[size_t(ruleNumber - 1)];
    edText->setEditText(rule.text);
    chkCase->setChecked(rule.caseSensitive);
    chkRegex->setChecked(true);
    regexToggled(); // also when the box was ticked already
}
