#include "app/formoptions.h"

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

QCheckBox *CheckBox(QWidget *page, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, page);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QSpinBox *SpinField(QWidget *page, const char *name, int low, int high, int step)
{
    auto *spin = new QSpinBox(page);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(low, high);
    spin->setSingleStep(step);
    // Out of range is brought to the nearest bound, not thrown away.
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return spin;
}

QLineEdit *TextField(QWidget *page, const char *name)
{
    auto *edit = new QLineEdit(page);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QLabel *Label(QWidget *page, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, page);
    label->setBuddy(buddy);
    return label;
}

QPushButton *DotsButton(QWidget *page, const char *name)
{
    auto *button = new QPushButton(QStringLiteral("..."), page);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedWidth(32);
    button->setAutoDefault(false);
    return button;
}

// The integer in a spin field's text; the field's minimum when the text is
// none, its nearest bound when out of range.
int SpinValue(const QSpinBox *spin)
{
    bool ok = false;
    const int value = spin->cleanText().trimmed().toInt(&ok);
    return ok ? std::clamp(value, spin->minimum(), spin->maximum()) : spin->minimum();
}

int TextValue(const QLineEdit *edit, int fallback)
{
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QString FontText(const FontSpec &font)
{
    return QString::fromUtf8(font.Name) + QStringLiteral(", ") + QString::number(font.Size);
}

} // namespace

TFormOptions::TFormOptions(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    // Interface
    auto *ui = new QWidget;
    ui->setObjectName(QStringLiteral("TabSheet3"));
    chkTool = CheckBox(ui, "chkTool", QStringLiteral("Show &toolbar"));
    chkStatus = CheckBox(ui, "chkStatus", QStringLiteral("Show &status bar"));
    chkTabs = CheckBox(ui, "chkTabs", QStringLiteral("Show ta&bs at the bottom"));
    chkMLine = CheckBox(ui, "chkMLine", QStringLiteral("Show &multi-line tab control"));
    chkOnTop = CheckBox(ui, "chkOnTop", QStringLiteral("&Always stay on top"));
    chkCfmExit = CheckBox(ui, "chkCfmExit", QStringLiteral("Show e&xit confirmation"));
    chkCfmClear =
        CheckBox(ui, "chkCfmClear", QStringLiteral("Show &confirmation for \"Clear log\" command"));
    chkEnd = CheckBox(ui, "chkEnd", QStringLiteral("Scroll file to the &end on opening"));
    chkReopen = CheckBox(ui, "chkReopen",
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
    timeRow->addWidget(Label(ui, QStringLiteral("Auto-reload &interval"), edTime));
    timeRow->addWidget(edTime);
    timeRow->addStretch();
    uiLayout->addLayout(timeRow);
    uiLayout->addStretch();

    // Viewer
    auto *viewer = new QWidget;
    viewer->setObjectName(QStringLiteral("TabSheet4"));
    btnFont = DotsButton(viewer, "btnFont");
    labFont = new QLabel(viewer);
    labFont->setObjectName(QStringLiteral("labFont"));
    labFont->setTextFormat(Qt::PlainText); // a face name from the settings file
    btnColor = DotsButton(viewer, "btnColor");
    edMaxLen = SpinField(viewer, "edMaxLen", 100, 2000, 50);
    edTabSize = SpinField(viewer, "edTabSize", 2, 16, 1);
    edSp = SpinField(viewer, "edSp", -5, 5, 1);
    chkTail = CheckBox(viewer, "chkTail", QStringLiteral("F&ollow tail -- by default"));
    chkWrap = CheckBox(viewer, "chkWrap", QStringLiteral("&Word wrap -- by default"));
    auto *viewerGrid = new QGridLayout;
    viewerGrid->addWidget(Label(viewer, QStringLiteral("&Font:"), btnFont), 0, 0);
    viewerGrid->addWidget(labFont, 0, 1);
    viewerGrid->addWidget(btnFont, 0, 2);
    viewerGrid->addWidget(Label(viewer, QStringLiteral("&Background color"), btnColor), 1, 0);
    viewerGrid->addWidget(btnColor, 1, 2);
    viewerGrid->addWidget(Label(viewer, QStringLiteral("&Maximal line length"), edMaxLen), 2, 0);
    viewerGrid->addWidget(edMaxLen, 2, 1, 1, 2);
    viewerGrid->addWidget(Label(viewer, QStringLiteral("&Tab size"), edTabSize), 3, 0);
    viewerGrid->addWidget(edTabSize, 3, 1, 1, 2);
    viewerGrid->addWidget(Label(viewer, QStringLiteral("&Interline spacing"), edSp), 4, 0);
    viewerGrid->addWidget(edSp, 4, 1, 1, 2);
    viewerGrid->setColumnStretch(1, 1);
    auto *viewerLayout = new QVBoxLayout(viewer);
    viewerLayout->addLayout(viewerGrid);
    viewerLayout->addWidget(chkTail);
    viewerLayout->addWidget(chkWrap);
    viewerLayout->addStretch();

    // Gutter and line numbers
    auto *gutter = new QWidget;
    gutter->setObjectName(QStringLiteral("TabSheet2"));
    chkGutter = CheckBox(gutter, "chkGutter", QStringLiteral("Show &gutter"));
    chkLines = CheckBox(gutter, "chkLines", QStringLiteral("Show line &numbers on gutter"));
    btnFont2 = DotsButton(gutter, "btnFont2");
    labFont2 = new QLabel(gutter);
    labFont2->setObjectName(QStringLiteral("labFont2"));
    labFont2->setTextFormat(Qt::PlainText);
    edLineBuf = TextField(gutter, "edLineBuf");
    edLineCount = TextField(gutter, "edLineCount");
    edLineStep = TextField(gutter, "edLineStep");
    auto *gutterGrid = new QGridLayout;
    gutterGrid->addWidget(Label(gutter, QStringLiteral("&Font:"), btnFont2), 0, 0);
    gutterGrid->addWidget(labFont2, 0, 1);
    gutterGrid->addWidget(btnFont2, 0, 2, Qt::AlignRight);
    gutterGrid->addWidget(Label(gutter, QStringLiteral("&Only for the first:"), edLineBuf), 1, 0);
    gutterGrid->addWidget(edLineBuf, 1, 1);
    gutterGrid->addWidget(new QLabel(QStringLiteral("Kb of file"), gutter), 1, 2);
    gutterGrid->addWidget(Label(gutter, QStringLiteral("&Max count of line numbers:"), edLineCount),
                          2, 0);
    gutterGrid->addWidget(edLineCount, 2, 1);
    gutterGrid->addWidget(
        Label(gutter, QStringLiteral("&Step (1: show for all lines):"), edLineStep), 3, 0);
    gutterGrid->addWidget(edLineStep, 3, 1);
    gutterGrid->setColumnStretch(1, 1);
    auto *gutterLayout = new QVBoxLayout(gutter);
    gutterLayout->addWidget(chkGutter);
    gutterLayout->addWidget(chkLines);
    gutterLayout->addLayout(gutterGrid);
    gutterLayout->addStretch();

    PageControl1->addTab(ui, QStringLiteral("Interface"));
    PageControl1->addTab(viewer, QStringLiteral("Viewer"));
    PageControl1->addTab(gutter, QStringLiteral("Gutter && line numbers"));
    PageControl1->setCurrentIndex(0);

    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumSize(361, 290);

    for (QSpinBox *spin : {edMaxLen, edTabSize, edSp})
        spin->installEventFilter(this);
    connect(btnFont, &QPushButton::clicked, this, Guarded([this] { btnFontClick(); }));
    connect(btnFont2, &QPushButton::clicked, this, Guarded([this] { btnFont2Click(); }));
    connect(btnColor, &QPushButton::clicked, this, Guarded([this] { btnColorClick(); }));

    ChooseFont = [this](FontSpec &font) { return ::ChooseFont(this, font); };
    ChooseColor = [this](qint32 &color) {
        const QColor chosen = QColorDialog::getColor(ColorFromInt(color), this);
        if (chosen.isValid())
            color = ColorToInt(chosen);
        return chosen.isValid();
    };
}

void TFormOptions::LoadFrom(const AppSettings &s)
{
    m_font = s.Font;
    m_fontGutter = s.FontGutter;
    m_color = s.ColorBack;
    edMaxLen->setValue(s.MaxLen);
    edTabSize->setValue(s.TabSize);
    edSp->setValue(s.LineSp);
    edTime->setCurrentIndex(std::clamp(s.ReloadTime, 0, edTime->count() - 1));
    chkTool->setChecked(s.Tool);
    chkStatus->setChecked(s.Status);
    chkTabs->setChecked(s.Tabs);
    chkMLine->setChecked(s.MLine);
    chkOnTop->setChecked(s.OnTop);
    chkCfmExit->setChecked(s.CfmExit);
    chkCfmClear->setChecked(s.CfmClear);
    chkEnd->setChecked(s.ToEnd);
    chkReopen->setChecked(s.Reopen);
    chkTail->setChecked(s.Tail);
    chkWrap->setChecked(s.Wrap);
    chkGutter->setChecked(s.Gutter);
    chkLines->setChecked(s.GutterLines);
    edLineBuf->setText(QString::number(s.GutterLinesBuf / 1024));
    edLineCount->setText(QString::number(s.GutterLinesCount));
    edLineStep->setText(QString::number(s.GutterLinesStep));
    UpdateFontLabels();
}

void TFormOptions::TakeInto(AppSettings &s) const
{
    s.Font = m_font;
    s.FontGutter = m_fontGutter;
    s.ColorBack = m_color;
    s.MaxLen = SpinValue(edMaxLen);
    s.TabSize = SpinValue(edTabSize);
    s.LineSp = SpinValue(edSp);
    s.ReloadTime = edTime->currentIndex();
    s.Tool = chkTool->isChecked();
    s.Status = chkStatus->isChecked();
    s.Tabs = chkTabs->isChecked();
    s.MLine = chkMLine->isChecked();
    s.OnTop = chkOnTop->isChecked();
    s.CfmExit = chkCfmExit->isChecked();
    s.CfmClear = chkCfmClear->isChecked();
    s.ToEnd = chkEnd->isChecked();
    s.Reopen = chkReopen->isChecked();
    s.Tail = chkTail->isChecked();
    s.Wrap = chkWrap->isChecked();
    s.Gutter = chkGutter->isChecked();
    s.GutterLines = chkLines->isChecked();
    // Kilobytes in the field, bytes in the settings; no wrap past int.
    const qint64 kilobytes = TextValue(edLineBuf, 500);
    s.GutterLinesBuf = int(std::clamp<qint64>(kilobytes * 1024, 0, INT_MAX));
    s.GutterLinesCount = TextValue(edLineCount, 2000);
    s.GutterLinesStep = TextValue(edLineStep, 5);
}

void TFormOptions::showEvent(QShowEvent *event)
{
    UpdateFontLabels();
    QDialog::showEvent(event);
}

void TFormOptions::UpdateFontLabels()
{
    labFont->setText(FontText(m_font));
    labFont2->setText(FontText(m_fontGutter));
}

void TFormOptions::btnFontClick()
{
    if (ChooseFont && ChooseFont(m_font))
        UpdateFontLabels();
}

void TFormOptions::btnFont2Click()
{
    if (ChooseFont && ChooseFont(m_fontGutter))
        UpdateFontLabels();
}

void TFormOptions::btnColorClick()
{
    if (ChooseColor)
        ChooseColor(m_color);
}

bool TFormOptions::eventFilter(QObject *watched, QEvent *event)
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
