#include "app/optionsdialog.h"

#include "app/colorconv.h"
#include "app/fontconv.h"
#include "text/guard.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

QCheckBox *checkBox(QWidget *page, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, page);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QSpinBox *spinField(QWidget *page, const char *name, int low, int high, int step)
{
    auto *spin = new QSpinBox(page);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(low, high);
    spin->setSingleStep(step);
    // Out of range is brought to the nearest bound, not thrown away.
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return spin;
}

QLineEdit *textField(QWidget *page, const char *name)
{
    auto *edit = new QLineEdit(page);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QLabel *label(QWidget *page, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, page);
    label->setBuddy(buddy);
    return label;
}

QPushButton *dotsButton(QWidget *page, const char *name)
{
    auto *button = new QPushButton(QStringLiteral("..."), page);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedWidth(32);
    button->setAutoDefault(false);
    return button;
}

// The integer in a spin field's text; the field's minimum when the text is
// none, its nearest bound when out of range.
int spinValue(const QSpinBox *spin)
{
    bool ok = false;
    const int value = spin->cleanText().trimmed().toInt(&ok);
    return ok ? std::clamp(value, spin->minimum(), spin->maximum()) : spin->minimum();
}

int textValue(const QLineEdit *edit, int fallback)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QString fontText(const FontSpec &font)
{
    return QString::fromUtf8(font.name) + QStringLiteral(", ") + QString::number(font.size);
}

} // namespace

OptionsDialog::OptionsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("Pages"));

    // Interface
    auto *ui = new QWidget;
    ui->setObjectName(QStringLiteral("InterfacePage"));
    chkTool = checkBox(ui, "chkTool", QStringLiteral("Show &toolbar"));
    chkStatus = checkBox(ui, "chkStatus", QStringLiteral("Show &status bar"));
    chkTabs = checkBox(ui, "chkTabs", QStringLiteral("Show ta&bs at the bottom"));
    chkMLine = checkBox(ui, "chkMLine", QStringLiteral("Show &multi-line tab control"));
    chkOnTop = checkBox(ui, "chkOnTop", QStringLiteral("&Always stay on top"));
    chkCfmExit = checkBox(ui, "chkCfmExit", QStringLiteral("Show e&xit confirmation"));
    chkCfmClear =
        checkBox(ui, "chkCfmClear", QStringLiteral("Show &confirmation for \"Clear log\" command"));
    chkEnd = checkBox(ui, "chkEnd", QStringLiteral("Scroll file to the &end on opening"));
    chkReopen = checkBox(ui, "chkReopen",
                         QStringLiteral("&Reopen last opened logs at startup\n"
                                        "(command line has higher priority)"));
    edTime = new QComboBox(ui);
    edTime->setObjectName(QStringLiteral("edTime"));
    edTime->addItems({"0.5 sec", "1 sec", "2 sec", "5 sec", "10 sec", "30 sec", "1 min", "5 min"});
    auto *uiLayout = new QVBoxLayout(ui);
    for (QCheckBox *box : {chkTool, chkStatus, chkTabs, chkMLine, chkOnTop, chkCfmExit, chkCfmClear,
                           chkEnd, chkReopen})
        uiLayout->addWidget(box);
    auto *timeRow = new QHBoxLayout;
    timeRow->addWidget(label(ui, QStringLiteral("Auto-reload &interval"), edTime));
    timeRow->addWidget(edTime);
    timeRow->addStretch();
    uiLayout->addLayout(timeRow);
    uiLayout->addStretch();

    // Viewer
    auto *viewer = new QWidget;
    viewer->setObjectName(QStringLiteral("ViewerPage"));
    btnFont = dotsButton(viewer, "btnFont");
    labFont = new QLabel(viewer);
    labFont->setObjectName(QStringLiteral("labFont"));
    labFont->setTextFormat(Qt::PlainText); // a face name from the settings file
    btnColor = dotsButton(viewer, "btnColor");
    edMaxLen = spinField(viewer, "edMaxLen", 100, 2000, 50);
    edTabSize = spinField(viewer, "edTabSize", 2, 16, 1);
    edSp = spinField(viewer, "edSp", -5, 5, 1);
    edPaneLimit = spinField(viewer, "edPaneLimit", 1000, 100'000'000, 100'000);
    chkTail = checkBox(viewer, "chkTail", QStringLiteral("F&ollow tail -- by default"));
    chkWrap = checkBox(viewer, "chkWrap", QStringLiteral("&Word wrap -- by default"));
    chkDetect = checkBox(viewer, "chkDetect",
                         QStringLiteral("&Detect the encoding of files opened the first time"));
    auto *viewerGrid = new QGridLayout;
    viewerGrid->addWidget(label(viewer, QStringLiteral("&Font:"), btnFont), 0, 0);
    viewerGrid->addWidget(labFont, 0, 1);
    viewerGrid->addWidget(btnFont, 0, 2);
    viewerGrid->addWidget(label(viewer, QStringLiteral("&Background color"), btnColor), 1, 0);
    viewerGrid->addWidget(btnColor, 1, 2);
    viewerGrid->addWidget(label(viewer, QStringLiteral("&Maximal line length"), edMaxLen), 2, 0);
    viewerGrid->addWidget(edMaxLen, 2, 1, 1, 2);
    viewerGrid->addWidget(label(viewer, QStringLiteral("&Tab size"), edTabSize), 3, 0);
    viewerGrid->addWidget(edTabSize, 3, 1, 1, 2);
    viewerGrid->addWidget(label(viewer, QStringLiteral("&Interline spacing"), edSp), 4, 0);
    viewerGrid->addWidget(edSp, 4, 1, 1, 2);
    viewerGrid->addWidget(
        label(viewer, QStringLiteral("Matching-lines &pane keeps at most (lines)"), edPaneLimit), 5,
        0);
    viewerGrid->addWidget(edPaneLimit, 5, 1, 1, 2);
    viewerGrid->setColumnStretch(1, 1);
    auto *viewerLayout = new QVBoxLayout(viewer);
    viewerLayout->addLayout(viewerGrid);
    viewerLayout->addWidget(chkTail);
    viewerLayout->addWidget(chkWrap);
    viewerLayout->addWidget(chkDetect);
    viewerLayout->addStretch();

    // Gutter and line numbers
    auto *gutter = new QWidget;
    gutter->setObjectName(QStringLiteral("GutterPage"));
    chkGutter = checkBox(gutter, "chkGutter", QStringLiteral("Show &gutter"));
    chkLines = checkBox(gutter, "chkLines", QStringLiteral("Show line &numbers on gutter"));
    btnGutterFont = dotsButton(gutter, "btnFont2");
    labGutterFont = new QLabel(gutter);
    labGutterFont->setObjectName(QStringLiteral("labFont2"));
    labGutterFont->setTextFormat(Qt::PlainText);
    edLineBuf = textField(gutter, "edLineBuf");
    edLineCount = textField(gutter, "edLineCount");
    edLineStep = textField(gutter, "edLineStep");
    auto *gutterGrid = new QGridLayout;
    gutterGrid->addWidget(label(gutter, QStringLiteral("&Font:"), btnGutterFont), 0, 0);
    gutterGrid->addWidget(labGutterFont, 0, 1);
    gutterGrid->addWidget(btnGutterFont, 0, 2, Qt::AlignRight);
    gutterGrid->addWidget(label(gutter, QStringLiteral("&Only for the first:"), edLineBuf), 1, 0);
    gutterGrid->addWidget(edLineBuf, 1, 1);
    gutterGrid->addWidget(new QLabel(QStringLiteral("Kb of file"), gutter), 1, 2);
    gutterGrid->addWidget(label(gutter, QStringLiteral("&Max count of line numbers:"), edLineCount),
                          2, 0);
    gutterGrid->addWidget(edLineCount, 2, 1);
    gutterGrid->addWidget(
        label(gutter, QStringLiteral("&Step (1: show for all lines):"), edLineStep), 3, 0);
    gutterGrid->addWidget(edLineStep, 3, 1);
    gutterGrid->setColumnStretch(1, 1);
    auto *gutterLayout = new QVBoxLayout(gutter);
    gutterLayout->addWidget(chkGutter);
    gutterLayout->addWidget(chkLines);
    gutterLayout->addLayout(gutterGrid);
    gutterLayout->addStretch();

    pages->addTab(ui, QStringLiteral("Interface"));
    pages->addTab(viewer, QStringLiteral("Viewer"));
    pages->addTab(gutter, QStringLiteral("Gutter && line numbers"));
    pages->setCurrentIndex(0);

    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumSize(361, 290);

    for (QSpinBox *spin : {edMaxLen, edTabSize, edSp, edPaneLimit})
        spin->installEventFilter(this);
    connect(btnFont, &QPushButton::clicked, this, guarded([this] { fontClicked(); }));
    connect(btnGutterFont, &QPushButton::clicked, this, guarded([this] { gutterFontClicked(); }));
    connect(btnColor, &QPushButton::clicked, this, guarded([this] { colorClicked(); }));

    chooseFont = [this](FontSpec &font) { return ::chooseFont(this, font); };
    chooseColor = [this](qint32 &color) {
        const QColor chosen = QColorDialog::getColor(colorFromInt(color), this);
        if (chosen.isValid())
            color = colorToInt(chosen);
        return chosen.isValid();
    };
}

void OptionsDialog::loadFrom(const AppSettings &s)
{
    m_font = s.font;
    m_fontGutter = s.fontGutter;
    m_color = s.colorBack;
    edMaxLen->setValue(s.maxLen);
    edTabSize->setValue(s.tabSize);
    edSp->setValue(s.lineSp);
    edPaneLimit->setValue(s.paneLimit);
    edTime->setCurrentIndex(std::clamp(s.reloadTime, 0, edTime->count() - 1));
    chkTool->setChecked(s.tool);
    chkStatus->setChecked(s.status);
    chkTabs->setChecked(s.tabs);
    chkMLine->setChecked(s.mLine);
    chkOnTop->setChecked(s.onTop);
    chkCfmExit->setChecked(s.cfmExit);
    chkCfmClear->setChecked(s.cfmClear);
    chkEnd->setChecked(s.toEnd);
    chkReopen->setChecked(s.reopen);
    chkTail->setChecked(s.tail);
    chkWrap->setChecked(s.wrap);
    chkDetect->setChecked(s.detectEncoding);
    chkGutter->setChecked(s.gutter);
    chkLines->setChecked(s.gutterLines);
    edLineBuf->setText(QString::number(s.gutterLinesBuf / 1024));
    edLineCount->setText(QString::number(s.gutterLinesCount));
    edLineStep->setText(QString::number(s.gutterLinesStep));
    updateFontLabels();
}

void OptionsDialog::takeInto(AppSettings &s) const
{
    s.font = m_font;
    s.fontGutter = m_fontGutter;
    s.colorBack = m_color;
    s.maxLen = spinValue(edMaxLen);
    s.tabSize = spinValue(edTabSize);
    s.lineSp = spinValue(edSp);
    s.paneLimit = spinValue(edPaneLimit);
    s.reloadTime = edTime->currentIndex();
    s.tool = chkTool->isChecked();
    s.status = chkStatus->isChecked();
    s.tabs = chkTabs->isChecked();
    s.mLine = chkMLine->isChecked();
    s.onTop = chkOnTop->isChecked();
    s.cfmExit = chkCfmExit->isChecked();
    s.cfmClear = chkCfmClear->isChecked();
    s.toEnd = chkEnd->isChecked();
    s.reopen = chkReopen->isChecked();
    s.tail = chkTail->isChecked();
    s.wrap = chkWrap->isChecked();
    s.detectEncoding = chkDetect->isChecked();
    s.gutter = chkGutter->isChecked();
    s.gutterLines = chkLines->isChecked();
    // Kilobytes in the field, bytes in the settings; no wrap past int.
    const qint64 kilobytes = textValue(edLineBuf, 500);
    s.gutterLinesBuf = int(std::clamp<qint64>(kilobytes * 1024, 0, INT_MAX));
    s.gutterLinesCount = textValue(edLineCount, 2000);
    s.gutterLinesStep = textValue(edLineStep, 5);
}

void OptionsDialog::showEvent(QShowEvent *event)
{
    updateFontLabels();
    QDialog::showEvent(event);
}

void OptionsDialog::updateFontLabels()
{
    labFont->setText(fontText(m_font));
    labGutterFont->setText(fontText(m_fontGutter));
}

void OptionsDialog::fontClicked()
{
    if (chooseFont && chooseFont(m_font))
        updateFontLabels();
}

void OptionsDialog::gutterFontClicked()
{
    if (chooseFont && chooseFont(m_fontGutter))
        updateFontLabels();
}

void OptionsDialog::colorClicked()
{
    if (chooseColor)
        chooseColor(m_color);
}

bool OptionsDialog::eventFilter(QObject *watched, QEvent *event)
{
    // edMaxLenKeyDown: Enter and Esc in a spin field close the dialog.
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain =
            (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            accept();
            return true;
        }
        if (plain && key->key() == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
