#pragma once

#include "rules/filterlog.h"

#include <QDialog>

#include <functional>
#include <stop_token>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "Create filtered log": asks for the output name and the line test, runs
// the filter on a worker thread with a progress gauge and a working
// Cancel, and offers to open the result.
class FilterLogDialog final : public QDialog
{
public:
    explicit FilterLogDialog(QWidget *parent = nullptr);
    ~FilterLogDialog() override;

    // The viewer's file and how it reads it: 0 8-bit, 1 UTF-16 LE, 2 UTF-16 BE.
    void setSource(const QString &fileName, int encoding);
    QString fileName() const;
    bool running() const { return m_running; }

    // The name offered for the filtered copy of source.
    static QString suggestedName(const QString &source);

    // The save dialog; replaceable so that tests never block on one. Gets
    // the current name, returns the chosen one or an empty string.
    std::function<QString(const QString &current)> chooseFile;

    // The gauge is repainted at most this often during a run.
    static constexpr int kProgressIntervalMs = 50;

    // The filter run on the worker thread; replaceable so that tests can
    // make it fail.
    using Runner = std::function<FilterLogResult(
        const QString &source, const QString &dest, const FilterLogOptions &options,
        const FilterProgress &progress, std::stop_token stop)>;
    Runner runFilter;

protected:
    void reject() override;

private:
    void browse();
    void run();
    void setRunning(bool running);
    void updateOk();

    QString m_source;
    int m_encoding = 0;
    bool m_running = false;
    std::function<void()> m_cancel;

    QLineEdit *m_edFN = nullptr;
    QPushButton *m_bBr = nullptr;
    QLineEdit *m_edFilter = nullptr;
    QCheckBox *m_chkRE = nullptr;
    QCheckBox *m_chkCase = nullptr;
    QCheckBox *m_chkInv = nullptr;
    QProgressBar *m_gauge = nullptr;
    QPushButton *m_bOk = nullptr;
    QPushButton *m_bCan = nullptr;
};
