#include "app/findbar.h"

#include "text/guard.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

namespace {
QToolButton *toggleButton(QWidget *parent, const QString &caption, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setText(caption);
    button->setToolTip(tip);
    button->setCheckable(true);
    button->setAutoRaise(true);
    // The keys work from the field; the buttons are for the mouse.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    layout->addWidget(new QLabel(QStringLiteral("Find:"), this));
    edText = new QLineEdit(this);
    edText->setClearButtonEnabled(true);
    edText->installEventFilter(this);
    layout->addWidget(edText, 1);
    btnCase = toggleButton(this, QStringLiteral("Aa"), QStringLiteral("Match case (Alt+C)"));
    btnWords = toggleButton(this, QStringLiteral("W"), QStringLiteral("Whole words (Alt+W)"));
    btnRegex =
        toggleButton(this, QStringLiteral(".*"), QStringLiteral("Regular expression (Alt+R)"));
    layout->addWidget(btnCase);
    layout->addWidget(btnWords);
    layout->addWidget(btnRegex);
    labCount = new QLabel(this);
    labCount->setTextFormat(Qt::PlainText);
    labCount->setMinimumWidth(
        labCount->fontMetrics().horizontalAdvance(QStringLiteral("match 99 999 of 99 999")));
    layout->addWidget(labCount);
    btnClose = new QToolButton(this);
    btnClose->setText(QStringLiteral("\u00d7"));
    btnClose->setToolTip(QStringLiteral("Close (Esc)"));
    btnClose->setAutoRaise(true);
    btnClose->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(btnClose);

    typingTimer = new QTimer(this);
    typingTimer->setSingleShot(true);
    typingTimer->setInterval(kTypingPauseMs);
    connect(typingTimer, &QTimer::timeout, this, [this] { Q_EMIT patternChanged(); });
    connect(edText, &QLineEdit::textChanged, this, [this] {
        Q_EMIT patternTyped();
        typingTimer->start();
    });
    for (QToolButton *button : {btnCase, btnWords, btnRegex})
        connect(button, &QToolButton::toggled, this, [this] {
            Q_EMIT togglesChanged();
            Q_EMIT patternTyped();
            typingTimer->start();
        });
    connect(btnClose, &QToolButton::clicked, this, [this] { Q_EMIT closeRequested(); });
}

QString FindBar::text() const
{
    return edText->text();
}

QuickMatcher::Pattern FindBar::pattern() const
{
    return {edText->text(), btnCase->isChecked(), btnWords->isChecked(),
            btnRegex->isEnabled() && btnRegex->isChecked()};
}

void FindBar::setToggles(bool caseSensitive, bool wholeWords, bool regex)
{
    const QSignalBlocker blockCase(btnCase), blockWords(btnWords), blockRegex(btnRegex);
    btnCase->setChecked(caseSensitive);
    btnWords->setChecked(wholeWords);
    btnRegex->setChecked(regex);
}

void FindBar::setRegexAllowed(bool allowed)
{
    btnRegex->setEnabled(allowed);
}

void FindBar::setPatternError(const QString &error)
{
    m_error = !error.isEmpty();
    edText->setStyleSheet(
        m_error ? QStringLiteral("QLineEdit { background: #ff9c9c; color: black; }") : QString());
    edText->setToolTip(error);
}

void FindBar::setCountText(const QString &text)
{
    labCount->setText(text);
}

void FindBar::open()
{
    show();
    edText->setFocus(Qt::ShortcutFocusReason);
    edText->selectAll();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::KeyPress;
    if (watched != edText || (!press && event->type() != QEvent::ShortcutOverride))
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!press && key->matches(QKeySequence::Copy) && !edText->hasSelectedText()) {
        // Nothing selected here: Ctrl+C copies the match the text shows.
        event->ignore();
        return true;
    }
    bool handled = false;
    runGuarded([&] { handled = handleKey(key->key(), key->modifiers(), press); });
    if (handled && !press) {
        // The bar's keys beat the window's shortcuts (Esc, menu letters).
        event->accept();
        return true;
    }
    return handled || QWidget::eventFilter(watched, event);
}

bool FindBar::handleKey(int key, Qt::KeyboardModifiers mods, bool press)
{
    mods &= Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    // A shortcut override only asks whether the key is the bar's.
    const auto emitIf = [press](auto &&fn) {
        if (press)
            fn();
        return true;
    };
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods != Qt::NoModifier && mods != Qt::ShiftModifier)
            return false;
        return emitIf([&] { Q_EMIT stepRequested(mods == Qt::ShiftModifier); });
    case Qt::Key_Escape:
        if (mods != Qt::NoModifier)
            return false;
        return emitIf([&] { Q_EMIT closeRequested(); });
    case Qt::Key_M:
        if (mods != Qt::AltModifier)
            return false;
        return emitIf([&] { Q_EMIT linesRequested(); });
    case Qt::Key_C:
    case Qt::Key_W:
    case Qt::Key_R: {
        if (mods != Qt::AltModifier)
            return false;
        QToolButton *button = key == Qt::Key_C ? btnCase : key == Qt::Key_W ? btnWords : btnRegex;
        return emitIf([&] {
            if (button->isEnabled())
                button->toggle();
        });
    }
    default:
        return false;
    }
}
