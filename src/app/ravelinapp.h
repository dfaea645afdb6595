#pragma once

#include <QApplication>

// The application object. Its notify() is the general error handler: a
// violated contract or any other exception escaping an event handler is shown
// through the message interface and the program goes on running.
class TRavelinApp final : public QApplication
{
public:
    TRavelinApp(int &argc, char **argv);
    TRavelinApp(const TRavelinApp &) = delete;
    TRavelinApp &operator=(const TRavelinApp &) = delete;

    bool notify(QObject *receiver, QEvent *event) override;

    static const QString &Title();
};
