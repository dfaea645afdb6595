#include "print/printprogress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressDialog>

#include <algorithm>
#include <cmath>

PrintProgress::PrintProgress()
{
    m_clock.start();
}

PrintProgress::~PrintProgress() = default;

bool PrintProgress::step(int pages, double done)
{
    if (!m_dialog) {
        if (m_clock.elapsed() <= showAfterMs && pages <= showAfterPages)
            return true;
        m_dialog = std::make_unique<QProgressDialog>(QStringLiteral("Printing..."),
                                                     QStringLiteral("Cancel"), 0, 1000,
                                                     QApplication::activeWindow());
        m_dialog->setWindowTitle(QStringLiteral("Print"));
        auto *label = new QLabel; // the dialog takes it over
        label->setTextFormat(Qt::PlainText);
        m_dialog->setLabel(label);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    m_dialog->setLabelText(QStringLiteral("Printing page %1...").arg(pages + 1));
    m_dialog->setValue(int(std::lround(std::clamp(done, 0.0, 1.0) * 1000)));
    QApplication::processEvents();
    return !m_dialog->wasCanceled();
}
