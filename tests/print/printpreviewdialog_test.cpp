#include "print/printpreviewdialog.h"

#include "print/zoomableimageview.h"

#include "common/recordingsink.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QSpinBox>
#include <QTest>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

namespace {

class PreviewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setPageSize(QPageSize(QPageSize::A4));
        m_printer.setPageOrientation(QPageLayout::Portrait);
        m_printer.setFullPage(true);
    }

    // A document of m_total pages, found as far as it has been asked for, as
    // the printer lays them out. Page n carries a black mark at x = 10 n.
    std::unique_ptr<PrintPreviewDialog> make()
    {
        return std::make_unique<PrintPreviewDialog>(
            m_printer, [this](QPainter *canvas, const QSize &size, int page) {
                ++m_calls;
                m_sizes.push_back(size);
                m_known = std::max(m_known, std::min(page, m_total));
                int drawn = 0;
                if (canvas && m_total > 0) {
                    drawn = std::min(page, m_total);
                    canvas->fillRect(10 * drawn, 10, 20, 20, Qt::black);
                    m_drawn.push_back(drawn);
                }
                return PreviewPages{drawn, m_known, m_known == m_total};
            });
    }
    // The page the picture shows, by its mark.
    static int markedPage(const QImage &picture)
    {
        for (int n = 1; n < 40; ++n)
            if (picture.pixelColor(10 * n + 5, 15) == Qt::black &&
                picture.pixelColor(10 * n - 5, 15) != Qt::black)
                return n;
        return 0;
    }
    static QPushButton *button(QDialog &dialog, const QString &text)
    {
        for (QPushButton *b : dialog.findChildren<QPushButton *>())
            if (b->text() == text)
                return b;
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }

    QPrinter m_printer{QPrinter::HighResolution};
    RecordingSink m_sink;
    int m_total = 1;
    int m_known = 0;
    int m_calls = 0;
    std::vector<QSize> m_sizes;
    std::vector<int> m_drawn;
};

TEST_F(PreviewTest, ThePageIsDrawnOnceShownAndFittedToTheBox)
{
    auto form = make();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Print preview"));
    ASSERT_TRUE(form->preparePage());
    const QSize page = screenPageSize(m_printer);
    EXPECT_EQ(form->pageBitmap().size(), page);
    EXPECT_EQ(form->pageBitmap().depth(), 24);
    form->renderPage();
    EXPECT_EQ(m_calls, 0) << "nothing is drawn before the dialog is shown";
    form->show();
    EXPECT_EQ(m_calls, 1);
    EXPECT_EQ(m_sizes.back(), page);
    EXPECT_TRUE(form->view()->fitToWindow());
    EXPECT_TRUE(form->view()->smoothResample());
    const QImage &shown = form->view()->picture();
    EXPECT_EQ(shown.pixelColor(15, 15), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(40, 40), QColor(Qt::white)) << "the page starts white";
}

TEST_F(PreviewTest, PrintAcceptsAndCancelRejects)
{
    for (const QString &text : {QStringLiteral("Print"), QStringLiteral("Cancel")}) {
        SCOPED_TRACE(text.toStdString());
        auto form = make();
        ASSERT_TRUE(form->preparePage());
        form->show();
        QPushButton *found = button(*form, text);
        ASSERT_NE(found, nullptr);
        found->click();
        EXPECT_EQ(form->result(),
                  text == QStringLiteral("Print") ? QDialog::Accepted : QDialog::Rejected);
    }
    auto form = make();
    EXPECT_TRUE(button(*form, QStringLiteral("Print"))->isDefault());
}

TEST_F(PreviewTest, PrintSetupRedrawsThePageAtItsNewProportions)
{
    auto form = make();
    ASSERT_TRUE(form->preparePage());
    form->show();
    const QSize portrait = form->pageBitmap().size();
    bool confirm = false;
    form->runPageSetup = [&](QPrinter &printer) {
        printer.setPageOrientation(QPageLayout::Landscape);
        return confirm;
    };
    form->setupButton()->click();
    EXPECT_EQ(m_calls, 1) << "a cancelled setup draws nothing again";
    confirm = true;
    form->setupButton()->click();
    EXPECT_EQ(m_calls, 2);
    EXPECT_EQ(form->pageBitmap().size(), portrait.transposed());
    EXPECT_EQ(form->view()->picture().size(), portrait.transposed());
}

TEST_F(PreviewTest, ABitmapThatCannotBeMadeIsReportedAndRefused)
{
    auto form = make();
    EXPECT_FALSE(form->preparePage(QSize(1 << 30, 1 << 30)));
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].caption, QStringLiteral("Print preview"));
    EXPECT_EQ(m_sink.messages()[0].text,
              QStringLiteral("Cannot allocate temporary bitmap, not enough memory."));
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);
    EXPECT_EQ(form->pageBitmap().size(), QSize(100, 100)) << "the old bitmap stays";
}

// Page Up and Down, Home and End and the page number move through the
// pages wherever the focus is; Enter in the page number does not print.
TEST_F(PreviewTest, KeysAndThePageNumberMoveThroughThePages)
{
    m_total = 3;
    auto form = make();
    ASSERT_TRUE(form->preparePage());
    form->resize(500, 600);
    form->show();
    const auto shown = [&] { return markedPage(form->view()->picture()); };
    const auto key = [&](QWidget *to, int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, modifiers);
        QApplication::sendEvent(to, &press);
    };
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(form->pageCountLabel()->text(), QStringLiteral("of 1\u2026")) << "still counting";
    while (form->countMore()) {
    }
    EXPECT_EQ(form->pageCountLabel()->text(), QStringLiteral("of 3"));
    EXPECT_EQ(form->pageBox()->maximum(), 3);

    QWidget *button = form->setupButton();
    const struct
    {
        const char *name;
        QWidget *to;
        int key;
        int page;
    } steps[] = {
        {"Page Down on the picture", form->view(), Qt::Key_PageDown, 2},
        {"Page Down again", form->view(), Qt::Key_PageDown, 3},
        {"Page Down on the last page", form->view(), Qt::Key_PageDown, 3},
        {"Page Up", form->view(), Qt::Key_PageUp, 2},
        {"Home", form->view(), Qt::Key_Home, 1},
        {"Page Up on the first page", form->view(), Qt::Key_PageUp, 1},
        {"End", form->view(), Qt::Key_End, 3},
        {"Home with a button focused", button, Qt::Key_Home, 1},
        {"Page Down in the page number", form->pageBox(), Qt::Key_PageDown, 2},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        key(step.to, step.key);
        EXPECT_EQ(form->page(), step.page);
        EXPECT_EQ(shown(), step.page);
        EXPECT_EQ(form->pageBox()->value(), step.page);
    }

    // A page number typed and confirmed with Enter shows that page.
    auto *edit = form->pageBox()->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    form->pageBox()->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("3"));
    EXPECT_EQ(shown(), 2) << "not at every digit";
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(shown(), 3);
    EXPECT_TRUE(form->isVisible()) << "Enter in the page number does not print";
    EXPECT_EQ(form->result(), 0);
    form->pageBox()->setValue(1);
    EXPECT_EQ(shown(), 1);

    // + and - zoom from wherever the focus is.
    form->view()->setFitToWindow(true);
    const double fitted = form->view()->scale();
    key(button, Qt::Key_Plus, Qt::ShiftModifier);
    EXPECT_GT(form->view()->scale(), fitted);
    EXPECT_FALSE(form->view()->fitToWindow());
    key(form->view(), Qt::Key_Minus);
    EXPECT_LT(form->view()->scale(), fitted + 1);
}

TEST_F(PreviewTest, EndFindsTheLastPageBeforeTheCountIsDoneAndAnEmptyRunSaysSo)
{
    m_total = 250;
    auto form = make();
    ASSERT_TRUE(form->preparePage());
    form->show();
    EXPECT_FALSE(form->pages().complete);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(form->view(), &end);
    EXPECT_EQ(form->pages(), (PreviewPages{250, 250, true}));
    EXPECT_EQ(m_drawn.back(), 250);
    EXPECT_EQ(form->pageCountLabel()->text(), QStringLiteral("of 250"));

    m_total = 0;
    m_known = 0;
    auto empty = make();
    ASSERT_TRUE(empty->preparePage());
    empty->show();
    EXPECT_EQ(empty->pages(), (PreviewPages{0, 0, true}));
    EXPECT_FALSE(empty->pageBox()->isEnabled());
    EXPECT_EQ(empty->pageCountLabel()->text(), QStringLiteral("of 0: nothing to print"));
}

TEST_F(PreviewTest, DrawingWithoutACallbackIsAContractFault)
{
    PrintPreviewDialog form(m_printer, nullptr);
    ASSERT_TRUE(form.preparePage());
    form.show();
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_TRUE(m_sink.messages()[0].text.startsWith(QStringLiteral("Callback not assigned")));
}

} // namespace
