// Colour rules, the sub-strings filter and filtered logs.
#include "app/mainwindow.h"

#include "app/rulesdialog.h"
#include "app/filterlogdialog.h"
#include "app/ruledecorator.h"
#include "viewer/logview.h"

void MainWindow::applyRuleSettings()
{
    if (!m_ruleDecorator) {
        m_ruleDecorator = std::make_shared<RuleDecorator>();
        m_filterDecorator = std::make_shared<SubstringsFilterDecorator>();
    }
    m_ruleDecorator->setRules(m_rules.rules);
    setCurrentSubstringsFilter(m_rules.filter);
}

LineDecorators MainWindow::ruleDecorators() const
{
    return {m_ruleDecorator, m_filterDecorator};
}

void MainWindow::setColorRules(const ColorRules &rules)
{
    m_rules.rules = rules;
    applyRuleSettings();
    redrawViews();
}

void MainWindow::setSubstringsFilter(const SubstringsFilterValues &values)
{
    m_rules.filter = values;
    applyRuleSettings();
    redrawViews();
}

void MainWindow::colorsAndFiltersTriggered()
{
    RulesDialog dialog(m_config.ini(), this);
    dialog.setRules(m_rules.rules);
    dialog.setFilterValues(m_rules.filter);
    dialog.onApply = [this](const ColorRules &rules) { setColorRules(rules); };
    if (runDialog(dialog) != QDialog::Accepted)
        return; // what "Apply" took over stays
    m_rules.filter = dialog.filterValues(m_rules.filter);
    setColorRules(dialog.rules());
}

void MainWindow::filterLogTriggered()
{
    const LogView *view = activeView();
    if (!view)
        return;
    Encoding encoding;
    if (view->document().mode() == vbmodeUnicode)
        encoding = Encoding::utf16(view->document().unicodeOrder() == unicodeOrderBig);
    FilterLogDialog dialog(m_jobs);
    dialog.setSource(view->fileName(), encoding, view);
    // A gzip log is filtered as shown, decompressed.
    if (view->compressedIndex() && view->document().source())
        dialog.setSourceData(view->document().source()->openAnother());
    m_filterDialog = &dialog;
    if (runDialog(dialog) == QDialog::Accepted)
        openFileTab(dialog.fileName());
}
