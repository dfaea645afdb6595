#include "app/rulesdialog.h"

#include "app/colorcombobox.h"
#include "app/colorconv.h"
#include "app/inifile.h"
#include "app/shellmessages.h"
#include "rules/ruleregex.h"
#include "text/guard.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QByteArray kSection = "ColorWindow";

QString caption(int n, const QByteArray &text)
{
    return QStringLiteral("Color %1: %2").arg(n).arg(QString::fromUtf8(text));
}

// Each rule drawn in its own colours, with its check box, framed when selected.
class RuleItemDelegate final : public QStyledItemDelegate
{
public:
    RuleItemDelegate(const ColorRules &rules, QObject *parent)
        : QStyledItemDelegate(parent), m_rules(rules)
    {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const ColorRule &rule = m_rules.rule(index.row() + 1);
        const QRect r = option.rect;
        painter->save();
        painter->fillRect(r, colorFromInt(rule.colorB));
        const int box = std::min(r.height() - 2, 13);
        const QRect check(r.left() + 2, r.top() + (r.height() - box) / 2, box, box);
        painter->setPen(Qt::black);
        painter->setBrush(Qt::white);
        painter->drawRect(check.adjusted(0, 0, -1, -1));
        if (index.data(Qt::CheckStateRole).toInt() == Qt::Checked) {
            painter->setPen(QPen(Qt::black, 2));
            painter->drawLine(check.left() + 3, check.center().y(), check.center().x(),
                              check.bottom() - 3);
            painter->drawLine(check.center().x(), check.bottom() - 3, check.right() - 2,
                              check.top() + 3);
        }
        painter->setPen(colorFromInt(rule.colorF));
        painter->setFont(option.font);
        const QRect text = r.adjusted(check.right() + 4, 1, 0, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_Selected) {
            painter->setPen(Qt::black);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(r.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width(), std::max(16, option.fontMetrics.height() + 2)};
    }

private:
    const ColorRules &m_rules;
};

QLineEdit *edit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QCheckBox *check(QWidget *parent, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QLabel *label(QWidget *parent, const char *name, const QString &caption, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

} // namespace

RulesDialog::RulesDialog(IniFile &ini, QWidget *parent) : QDialog(parent), m_ini(ini)
{
    setObjectName(QStringLiteral("FormColors"));
    setWindowTitle(QStringLiteral("Colors & filters"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setMinimumSize(380, 430);
    resize(463, 540);

    // "Strings"
    auto *stringsBox = new QGroupBox(QStringLiteral("Strings"), this);
    stringsBox->setObjectName(QStringLiteral("box0"));
    m_list = new QListWidget(stringsBox);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setItemDelegate(new RuleItemDelegate(m_rules, m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *btnUp = new QPushButton(QStringLiteral("&Up"), stringsBox);
    btnUp->setObjectName(QStringLiteral("btnUp"));
    auto *btnDown = new QPushButton(QStringLiteral("&Down"), stringsBox);
    btnDown->setObjectName(QStringLiteral("btnDown"));
    auto *box0Layout = new QGridLayout(stringsBox);
    box0Layout->addWidget(label(stringsBox, "Label1", QStringLiteral("String &list:"), m_list), 0,
                          0);
    box0Layout->addWidget(m_list, 1, 0, 3, 1);
    box0Layout->addWidget(btnUp, 1, 1);
    box0Layout->addWidget(btnDown, 2, 1);
    box0Layout->setRowStretch(3, 1);

    // "Selected string properties"
    auto *box1 = new QGroupBox(QStringLiteral("Selected string properties"), this);
    box1->setObjectName(QStringLiteral("box1"));
    m_edText = edit(box1, "edText");
    m_chkCase = check(box1, "chkCase", QStringLiteral("&Case sensitive"));
    m_chkInv = check(box1, "chkInv", QStringLiteral("&Invert match"));
    m_colorB = new ColorComboBox(box1);
    m_colorB->setObjectName(QStringLiteral("cColorB"));
    m_colorF = new ColorComboBox(box1);
    m_colorF->setObjectName(QStringLiteral("cColorF"));
    m_chkRepl = check(box1, "chkRepl", QStringLiteral("Don't &output this string, replace with:"));
    m_edRepl = edit(box1, "edRepl");
    auto *box1Layout = new QGridLayout(box1);
    box1Layout->addWidget(label(box1, "Label3", QStringLiteral("&Regular exp.:"), m_edText), 0, 0);
    box1Layout->addWidget(m_edText, 0, 1, 1, 3);
    box1Layout->addWidget(m_chkCase, 1, 1);
    box1Layout->addWidget(m_chkInv, 1, 2, 1, 2);
    box1Layout->addWidget(label(box1, "Label2", QStringLiteral("&Background:"), m_colorB), 2, 0);
    box1Layout->addWidget(m_colorB, 2, 1);
    box1Layout->addWidget(label(box1, "Label8", QStringLiteral("&Foreground:"), m_colorF), 2, 2);
    box1Layout->addWidget(m_colorF, 2, 3);
    box1Layout->addWidget(label(box1, "Label4", QStringLiteral("Filter entire string:")), 3, 0, 1,
                          4);
    box1Layout->addWidget(m_chkRepl, 4, 0, 1, 3);
    box1Layout->addWidget(m_edRepl, 4, 3);

    // "Sub-strings filter"
    auto *box2 = new QGroupBox(QStringLiteral("Sub-strings filter"), this);
    box2->setObjectName(QStringLiteral("box2"));
    auto *box2Layout = new QGridLayout(box2);
    box2Layout->addWidget(label(box2, "Label5", QStringLiteral("Filter sub-strings:")), 0, 0, 1, 2);
    for (size_t i = 0; i < 3; ++i) {
        const QByteArray n = QByteArray::number(int(i) + 1);
        m_repFrom[i] = edit(box2, ("edRepFrom" + n).constData());
        m_repTo[i] = edit(box2, ("edRepTo" + n).constData());
        m_repTo[i]->setMaxLength(1);
        m_repTo[i]->setMaximumWidth(40);
        box2Layout->addWidget(m_repFrom[i], int(i) + 2, 0);
        box2Layout->addWidget(m_repTo[i], int(i) + 2, 1);
    }
    box2Layout->addWidget(
        label(box2, "Label6", QStringLiteral("R&eplace regular exp.:"), m_repFrom[0]), 1, 0);
    box2Layout->addWidget(label(box2, "Label7", QStringLiteral("&with char:"), m_repTo[0]), 1, 1);
    box2Layout->setColumnStretch(0, 1);

    auto *btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    auto *btnApply = new QPushButton(QStringLiteral("&Apply"), this);
    btnApply->setObjectName(QStringLiteral("btnApply"));
    auto *btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnApply);
    buttons->addWidget(btnCancel);

    // Tight groups leave the rule list most of the height.
    for (QGroupBox *box : {stringsBox, box1, box2}) {
        box->layout()->setContentsMargins(6, 4, 6, 4);
        box->layout()->setSpacing(4);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(stringsBox, 1);
    layout->addWidget(box1);
    layout->addWidget(box2);
    layout->addLayout(buttons);

    connect(m_list, &QListWidget::currentRowChanged, this, guarded([this] { loadEditors(); }));
    connect(m_list, &QListWidget::itemChanged, this,
            guarded([this](QListWidgetItem *item) { itemChanged(item); }));
    connect(btnUp, &QPushButton::clicked, this, guarded([this] { moveRule(-1); }));
    connect(btnDown, &QPushButton::clicked, this, guarded([this] { moveRule(1); }));
    const auto changed = guarded([this] { storeEditors(); });
    connect(m_edText, &QLineEdit::textChanged, this, changed);
    connect(m_edRepl, &QLineEdit::textChanged, this, changed);
    for (QCheckBox *box : {m_chkCase, m_chkInv, m_chkRepl})
        connect(box, &QCheckBox::toggled, this, changed);
    m_colorB->onChange = [this] { runGuarded([this] { storeEditors(); }); };
    m_colorF->onChange = m_colorB->onChange;
    for (QLineEdit *edit : m_repFrom)
        connect(edit, &QLineEdit::textChanged, this,
                guarded([edit] { markExpression(edit, false); }));
    connect(btnOk, &QPushButton::clicked, this, guarded([this] { accept(); }));
    connect(btnApply, &QPushButton::clicked, this, guarded([this] {
                if (onApply)
                    onApply(m_rules);
            }));
    connect(btnCancel, &QPushButton::clicked, this, guarded([this] { reject(); }));
}

RulesDialog::~RulesDialog()
{
    if (!m_placed)
        return; // never shown: nothing to remember
    m_ini.writeInteger(kSection, "Width", width());
    m_ini.writeInteger(kSection, "Height", height());
    m_ini.writeInteger(kSection, "Left", x());
    m_ini.writeInteger(kSection, "Top", y());
}

void RulesDialog::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        resize(std::max(m_ini.readInteger(kSection, "Width", width()), minimumWidth()),
               std::max(m_ini.readInteger(kSection, "Height", height()), minimumHeight()));
        if (m_ini.keyExists(kSection, "Left") && m_ini.keyExists(kSection, "Top"))
            move(m_ini.readInteger(kSection, "Left", x()), m_ini.readInteger(kSection, "Top", y()));
    }
    QDialog::showEvent(event);
}

void RulesDialog::setRules(const ColorRules &rules)
{
    m_rules = rules;
    fillList();
    selectRule(1);
}

void RulesDialog::setFilterValues(const SubstringsFilterValues &values)
{
    for (size_t i = 0; i < 3; ++i) {
        m_repFrom[i]->setText(QString::fromUtf8(values.repFrom[i]));
        m_repTo[i]->setText(QString::fromUtf8(values.repTo[i]));
    }
}

SubstringsFilterValues RulesDialog::filterValues(const SubstringsFilterValues &previous) const
{
    SubstringsFilterValues values = previous;
    for (size_t i = 0; i < 3; ++i) {
        values.repFrom[i] = m_repFrom[i]->text().toUtf8();
        const QString to = m_repTo[i]->text();
        if (!to.isEmpty())
            values.repTo[i] = to.left(to.at(0).isHighSurrogate() ? 2 : 1).toUtf8();
    }
    return values;
}

int RulesDialog::selectedRule() const
{
    return std::clamp(m_list->currentRow() + 1, 1, ColorRules::count);
}

void RulesDialog::fillList()
{
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    for (int n = 1; n <= ColorRules::count; ++n) {
        auto *item = new QListWidgetItem(caption(n, m_rules.rule(n).text), m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(m_rules.rule(n).en ? Qt::Checked : Qt::Unchecked);
    }
}

void RulesDialog::selectRule(int n)
{
    m_list->setCurrentRow(n - 1);
    loadEditors();
}

void RulesDialog::loadEditors()
{
    const ColorRule &rule = m_rules.rule(selectedRule());
    m_loading = true;
    m_edText->setText(QString::fromUtf8(rule.text));
    m_chkCase->setChecked(rule.caseSensitive);
    m_chkInv->setChecked(rule.inv);
    m_chkRepl->setChecked(rule.repl);
    m_edRepl->setText(QString::fromUtf8(rule.rStr));
    m_colorF->setColor(rule.colorF);
    m_colorB->setColor(rule.colorB);
    m_loading = false;
    markExpression(m_edText, rule.caseSensitive);
}

void RulesDialog::storeEditors()
{
    if (m_loading)
        return;
    const int n = selectedRule();
    ColorRule &rule = m_rules.rule(n);
    rule.text = m_edText->text().toUtf8();
    rule.caseSensitive = m_chkCase->isChecked();
    rule.inv = m_chkInv->isChecked();
    rule.repl = m_chkRepl->isChecked();
    rule.rStr = m_edRepl->text().toUtf8();
    rule.colorF = m_colorF->color();
    rule.colorB = m_colorB->color();
    if (QListWidgetItem *item = m_list->item(n - 1)) {
        const QSignalBlocker blocker(m_list);
        item->setText(caption(n, rule.text));
    }
    m_list->viewport()->update();
    markExpression(m_edText, rule.caseSensitive);
}

void RulesDialog::itemChanged(QListWidgetItem *item)
{
    const int n = m_list->row(item) + 1;
    if (n >= 1 && n <= ColorRules::count)
        m_rules.rule(n).en = item->checkState() == Qt::Checked;
}

void RulesDialog::moveRule(int delta)
{
    const int n = selectedRule();
    const int to = n + delta;
    if (to < 1 || to > ColorRules::count)
        return;
    std::swap(m_rules.rule(n), m_rules.rule(to));
    fillList();
    selectRule(to);
}

void RulesDialog::markExpression(QLineEdit *edit, bool caseSensitive)
{
    const QByteArray text = edit->text().toUtf8();
    const RuleRegex regex =
        text.isEmpty() ? RuleRegex() : RuleRegex(text, RuleRegex::Flavour::Line, caseSensitive);
    const bool bad = !text.isEmpty() && !regex.isValid();
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text,
                     bad ? QColor(Qt::red) : QApplication::palette().color(QPalette::Text));
    edit->setPalette(palette);
    edit->setToolTip(plainToolTip(
        bad ? QStringLiteral("%1 (at offset %2)").arg(regex.errorText()).arg(regex.errorOffset())
            : QString()));
}
