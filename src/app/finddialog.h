#pragma once

#include <QDialog>
#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;

// The "Search" dialog: the text to find with its history, the options, the
// direction and the origin, and a menu that takes the text of a colour rule.
// Made for one use; the caller sets the permissions before showing it.
class FindDialog final : public QDialog
{
public:
    static constexpr int kRules = 20;

    // What the "Rules" menu needs of a colour rule.
    struct RuleChoice
    {
        QString text;
        bool caseSensitive = false;
    };

    explicit FindDialog(QWidget *parent = nullptr);
    FindDialog(const FindDialog &) = delete;
    FindDialog &operator=(const FindDialog &) = delete;

    // Rule n (1 to 20) is Rules[n - 1].
    std::array<RuleChoice, kRules> rules;
    bool allowDirection = true;
    bool allowRegex = true;
    bool allowOrigin = true;

    // Enforces the permissions and the regex rules on the controls; runs on
    // show and whenever the regex box changes.
    void regexToggled();
    // Fills mnuRules from Rules; bRulesClick also pops it up.
    void fillRulesMenu();
    void rulesClicked();
    void ruleItemClick(int ruleNumber);

    QLabel *labFind = nullptr;
    QComboBox *edText = nullptr;
    QPushButton *btnRules = nullptr;
    QMenu *mnuRules = nullptr;
    QGroupBox *boxOptions = nullptr;
    QCheckBox *chkWords = nullptr;
    QCheckBox *chkCase = nullptr;
    QCheckBox *chkRegex = nullptr;
    QCheckBox *chkMLine = nullptr;
    QGroupBox *boxDirection = nullptr;
    QRadioButton *chkDirForward = nullptr;
    QRadioButton *chkDirBackward = nullptr;
    QGroupBox *boxOrigin = nullptr;
    QRadioButton *chkOriginCursor = nullptr;
    QRadioButton *chkOriginEntire = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
