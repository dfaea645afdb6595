#pragma once

#include "viewer/backgroundjobs.h"
#include "rules/filterlog.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <stop_token>

class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
template <typename T>
class QFutureWatcher;

// "Create filtered log": asks for the output name and the line test, runs
// the filter as a background job with a progress gauge and a working
// Cancel, and offers to open the result. The run reports to the dialog only
// while the dialog exists; closing it stops the run.
class FilterLogDialog final : public QDialog
{
public:
    explicit FilterLogDialog(BackgroundJobs &jobs, QWidget *parent = nullptr);
    ~FilterLogDialog() override;

    // The viewer's file and how it reads it: 0 8-bit, 1 UTF-16 LE, 2 UTF-16 BE.
    // client is what the run serves (the tab's view): stopping the jobs of
    // client stops it.
    void setSource(const QString &fileName, Encoding encoding, const void *client = nullptr);
    // The bytes to filter when they are not the file's own (a compressed
    // log read decompressed); runs then read them instead of the file.
    void setSourceData(std::shared_ptr<const FileSource> data) { m_data = std::move(data); }
    QString fileName() const;
    const void *client() const { return m_client; }
    bool running() const { return m_running; }
    // What it was opened for is gone: stops a run and closes, rejected,
    // without a word, hearing nothing more from the run.
    void abandon();

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
    void showProgress();
    void runFinished();
    void setRunning(bool running);
    void updateOk();

    BackgroundJobs &m_jobs;
    QString m_source;
    std::shared_ptr<const FileSource> m_data;
    Encoding m_encoding;
    const void *m_client = nullptr;
    bool m_running = false;
    BackgroundJobs::Job<FilterLogResult> m_job;
    // One per run, so that an abandoned run's end reaches nobody.
    QFutureWatcher<FilterLogResult> *m_watcher = nullptr;
    QTimer *m_progressTimer = nullptr;
    QElapsedTimer m_progressShown;

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
