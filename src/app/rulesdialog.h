#pragma once

#include "rules/colorrec.h"
#include "rules/substringsfilter.h"

#include <QDialog>

#include <array>
#include <functional>

class IniFile;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class ColorComboBox;

// "Colors & filters": edits a copy of the 20 colour rules and the three
// sub-strings filter pairs. "Apply" hands the rules back at once; OK hands
// back the rules and, read by the caller, the filter.
class RulesDialog final : public QDialog
{
public:
    // ini keeps the dialog's geometry ([ColorWindow]).
    explicit RulesDialog(IniFile &ini, QWidget *parent = nullptr);
    ~RulesDialog() override;

    void setRules(const ColorRules &rules);
    const ColorRules &rules() const { return m_rules; }
    void setFilterValues(const SubstringsFilterValues &values);
    // The filter of the edits; an empty "with char" box keeps previous's.
    SubstringsFilterValues filterValues(const SubstringsFilterValues &previous) const;

    // "Apply": the rules as they are now.
    std::function<void(const ColorRules &)> onApply;

    int selectedRule() const; // 1 to 20

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fillList();
    void selectRule(int n);
    void loadEditors();
    void storeEditors();
    void itemChanged(QListWidgetItem *item);
    void moveRule(int delta);
    // An expression that does not compile: red, with PCRE2's reason.
    static void markExpression(QLineEdit *edit, bool caseSensitive);

    IniFile &m_ini;
    ColorRules m_rules;
    bool m_loading = false;
    bool m_placed = false;

    QListWidget *m_list = nullptr;
    QLineEdit *m_edText = nullptr;
    QCheckBox *m_chkCase = nullptr;
    QCheckBox *m_chkInv = nullptr;
    QCheckBox *m_chkRepl = nullptr;
    QLineEdit *m_edRepl = nullptr;
    ColorComboBox *m_colorB = nullptr;
    ColorComboBox *m_colorF = nullptr;
    std::array<QLineEdit *, 3> m_repFrom{};
    std::array<QLineEdit *, 3> m_repTo{};
};
