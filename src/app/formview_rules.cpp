// Colour rules, the sub-strings filter and filtered logs.
#include "app/formview.h"

#include "app/formcolors.h"
#include "app/formfilter.h"
#include "app/ruledecorator.h"
#include "viewer/qzbinhex.h"

void TFormView::ApplyRuleSettings()
{
    if (!m_ruleDecorator) {
        m_ruleDecorator = std::make_shared<TRuleDecorator>();
        m_filterDecorator = std::make_shared<TSubstringsFilterDecorator>();
    }
    m_ruleDecorator->SetRules(m_rules.Rules);
    SetCurrentSubstringsFilter(m_rules.Filter);
}

TQzLineDecorators TFormView::RuleDecorators() const
{
    return {m_ruleDecorator, m_filterDecorator};
}

void TFormView::SetColorRules(const TColorRec &rules)
{
    m_rules.Rules = rules;
    ApplyRuleSettings();
    RedrawViews();
}

void TFormView::SetSubstringsFilter(const TSubstringsFilterValues &values)
{
    m_rules.Filter = values;
    ApplyRuleSettings();
    RedrawViews();
}

void TFormView::acOptColorsExecute()
{
    TFormColors dialog(m_ini, this);
    dialog.SetRules(m_rules.Rules);
    dialog.SetFilterValues(m_rules.Filter);
    dialog.OnApply = [this](const TColorRec &rules) { SetColorRules(rules); };
    if (RunDialog(dialog) != QDialog::Accepted)
        return; // what "Apply" took over stays
    m_rules.Filter = dialog.FilterValues(m_rules.Filter);
    SetColorRules(dialog.Rules());
}

void TFormView::mnuEdFilterClick()
{
    const TQzBinHex *view = ActiveView();
    if (!view)
        return;
    int encoding = 0;
    if (view->Mode() == vbmodeUnicode)
        encoding = view->UnicodeOrder() == UnicodeOrderBig ? 2 : 1;
    TFormFilter dialog;
    dialog.SetSource(view->FileName(), encoding);
    if (RunDialog(dialog) == QDialog::Accepted)
        OpenFileTab(dialog.FileName());
}
