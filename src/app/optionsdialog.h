#pragma once

#include "app/appsettings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;
class QPushButton;

// The options dialog: three pages over a copy of the settings. It is loaded
// from the settings, shown, and on OK the edited values are taken back.
class OptionsDialog final : public QDialog
{
public:
    explicit OptionsDialog(QWidget *parent = nullptr);

    void loadFrom(const AppSettings &settings);
    // Only the keys the dialog edits change; text that is not a number takes
    // the field's fallback.
    void takeInto(AppSettings &settings) const;

    // Runs the font and colour dialogs; replaceable so that tests never block
    // on them. Each returns false on Cancel.
    std::function<bool(FontSpec &font)> chooseFont;
    std::function<bool(qint32 &color)> chooseColor;

    void fontClicked();
    void gutterFontClicked();
    void colorClicked();

    QTabWidget *pages = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

    QCheckBox *chkTool = nullptr;
    QCheckBox *chkStatus = nullptr;
    QCheckBox *chkTabs = nullptr;
    QCheckBox *chkMLine = nullptr;
    QCheckBox *chkOnTop = nullptr;
    QCheckBox *chkCfmExit = nullptr;
    QCheckBox *chkCfmClear = nullptr;
    QCheckBox *chkEnd = nullptr;
    QCheckBox *chkReopen = nullptr;
    QComboBox *edTime = nullptr;

    QPushButton *btnFont = nullptr;
    QLabel *labFont = nullptr;
    QPushButton *btnColor = nullptr;
    QSpinBox *edMaxLen = nullptr;
    QSpinBox *edPaneLimit = nullptr;
    QSpinBox *edTabSize = nullptr;
    QSpinBox *edSp = nullptr;
    QCheckBox *chkTail = nullptr;
    QCheckBox *chkWrap = nullptr;
    QCheckBox *chkDetect = nullptr;

    QCheckBox *chkGutter = nullptr;
    QCheckBox *chkLines = nullptr;
    QPushButton *btnGutterFont = nullptr;
    QLabel *labGutterFont = nullptr;
    QLineEdit *edLineBuf = nullptr;
    QLineEdit *edLineCount = nullptr;
    QLineEdit *edLineStep = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateFontLabels();

    FontSpec m_font;
    FontSpec m_fontGutter;
    qint32 m_color = 0;
};
