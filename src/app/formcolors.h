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
class TColorBox;

// "Colors & filters": edits a copy of the 20 colour rules and the three
// sub-strings filter pairs. "Apply" hands the rules back at once; OK hands
// back the rules and, read by the caller, the filter.
class TFormColors final : public QDialog
{
public:
    // ini keeps the dialog's geometry ([ColorWindow]).
    explicit TFormColors(IniFile &ini, QWidget *parent = nullptr);
    ~TFormColors() override;

    void SetRules(const TColorRec &rules);
    const TColorRec &Rules() const { return m_rules; }
    void SetFilterValues(const TSubstringsFilterValues &values);
    // The filter of the edits; an empty "with char" box keeps previous's.
    TSubstringsFilterValues FilterValues(const TSubstringsFilterValues &previous) const;

    // "Apply": the rules as they are now.
    std::function<void(const TColorRec &)> OnApply;

    int SelectedRule() const; // 1 to 20

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FillList();
    void SelectRule(int n);
    void LoadEditors();
    void StoreEditors();
    void ItemChanged(QListWidgetItem *item);
    void Move(int delta);
    // An expression that does not compile: red, with PCRE2's reason.
    static void MarkExpression(QLineEdit *edit, bool caseSensitive);

    IniFile &m_ini;
    TColorRec m_rules;
    bool m_loading = false;
    bool m_placed = false;

    QListWidget *m_list = nullptr;
    QLineEdit *m_edText = nullptr;
    QCheckBox *m_chkCase = nullptr;
    QCheckBox *m_chkInv = nullptr;
    QCheckBox *m_chkRepl = nullptr;
    QLineEdit *m_edRepl = nullptr;
    TColorBox *m_colorB = nullptr;
    TColorBox *m_colorF = nullptr;
    std::array<QLineEdit *, 3> m_repFrom{};
    std::array<QLineEdit *, 3> m_repTo{};
};
