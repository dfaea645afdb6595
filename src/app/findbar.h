#pragma once

#include "viewer/quickmatcher.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

// The one-line find bar at the foot of a tab: the text, its toggles (case,
// whole words, regular expression) and how many matches the file holds. It
// searches nothing itself; it says when the text settled, when the next or
// previous match is wanted and when it is done.
class FindBar final : public QWidget
{
    Q_OBJECT

public:
    // Typing searches once the keys pause this long.
    static constexpr int kTypingPauseMs = 150;

    explicit FindBar(QWidget *parent = nullptr);

    QString text() const;
    // The text with the toggles in force; no regular expression where the
    // document's encoding cannot have one.
    QuickMatcher::Pattern pattern() const;
    void setToggles(bool caseSensitive, bool wholeWords, bool regex);
    void setRegexAllowed(bool allowed);
    // A pattern that does not compile: the field turns red and tells why.
    // Empty: the pattern is fine.
    void setPatternError(const QString &error);
    bool hasPatternError() const { return m_error; }
    void setCountText(const QString &text);
    // Shows the bar and puts the keyboard in its field, the text selected.
    void open();

    QLineEdit *edText = nullptr;
    QToolButton *btnCase = nullptr;
    QToolButton *btnWords = nullptr;
    QToolButton *btnRegex = nullptr;
    QToolButton *btnClose = nullptr;
    QLabel *labCount = nullptr;
    QTimer *typingTimer = nullptr;

Q_SIGNALS:
    // The text or a toggle changed, at once.
    void patternTyped();
    // The text or a toggle changed and the keys paused.
    void patternChanged();
    void togglesChanged();
    void stepRequested(bool previous);
    void closeRequested();
    // Alt+M: list the lines that hold the text in a pane.
    void linesRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handleKey(int key, Qt::KeyboardModifiers mods, bool press);

    bool m_error = false;
};
