#pragma once

#include <QObject>

#include <functional>

// Holds the user's keys, clicks and shortcuts off the whole application
// while a run goes on before its modal window shows, as that window does
// once it is up. Escape is not lost: it goes to onEscape, so a run can be
// cancelled before its window shows as after.
class InputHold final : public QObject
{
public:
    InputHold() = default;
    ~InputHold() override;
    InputHold(const InputHold &) = delete;
    InputHold &operator=(const InputHold &) = delete;

    std::function<void()> onEscape;
    // A window closed by the user waits for the run too.
    bool holdCloses = false;

    void set(bool hold);
    bool held() const { return m_held; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_held = false;
};
