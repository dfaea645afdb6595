#include "print/qzprintpreview.h"

#include "print/qzimagebox.h"

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
    std::unique_ptr<TFormQzPreview> Make()
    {
        return std::make_unique<TFormQzPreview>(
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
                return TQzPreviewPages{drawn, m_known, m_known == m_total};
            });
    }
    // The page the picture shows, by its mark.
    static int MarkedPage(const QImage &picture)
    {
        for (int n = 1; n < 40; ++n)
            if (picture.pixelColor(10 * n + 5, 15) == Qt::black &&
                picture.pixelColor(10 * n - 5, 15) != Qt::black)
                return n;
        return 0;
    }
    static QPushButton *Button(QDialog &dialog, const QString &text)
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
    auto form = Make();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Print preview"));
    ASSERT_TRUE(form->PreparePage());
    const QSize page = ScreenPageSize(m_printer);
    EXPECT_EQ(form->PageBitmap().size(), page);
    EXPECT_EQ(form->PageBitmap().depth(), 24);
    form->RenderPage();
    EXPECT_EQ(m_calls, 0) << "nothing is drawn before the dialog is shown";
    form->show();
    EXPECT_EQ(m_calls, 1);
    EXPECT_EQ(m_sizes.back(), page);
    EXPECT_TRUE(form->View()->FitToWindow());
    EXPECT_TRUE(form->View()->SmoothResample());
    const QImage &shown = form->View()->Picture();
    EXPECT_EQ(shown.pixelColor(15, 15), QColor(Qt::black));
    EXPECT_EQ(shown.pixelColor(40, 40), QColor(Qt::white)) << "the page starts white";
}

TEST_F(PreviewTest, PrintAcceptsAndCancelRejects)
{
    for (const QString &text : {QStringLiteral("Print"), QStringLiteral("Cancel")}) {
        SCOPED_TRACE(text.toStdString());
        auto form = Make();
        ASSERT_TRUE(form->PreparePage());
        form->show();
        QPushButton *button = Button(*form, text);
        ASSERT_NE(button, nullptr);
        button->click();
        EXPECT_EQ(form->result(),
                  text == QStringLiteral("Print") ? QDialog::Accepted : QDialog::Rejected);
    }
    auto form = Make();
    EXPECT_TRUE(Button(*form, QStringLiteral("Print"))->isDefault());
}

TEST_F(PreviewTest, PrintSetupRedrawsThePageAtItsNewProportions)
{
    auto form = Make();
    ASSERT_TRUE(form->PreparePage());
    form->show();
    const QSize portrait = form->PageBitmap().size();
    bool confirm = false;
    form->RunPageSetup = [&](QPrinter &printer) {
        printer.setPageOrientation(QPageLayout::Landscape);
        return confirm;
    };
    form->SetupButton()->click();
    EXPECT_EQ(m_calls, 1) << "a cancelled setup draws nothing again";
    confirm = true;
    form->SetupButton()->click();
    EXPECT_EQ(m_calls, 2);
    EXPECT_EQ(form->PageBitmap().size(), portrait.transposed());
    EXPECT_EQ(form->View()->Picture().size(), portrait.transposed());
}

TEST_F(PreviewTest, ABitmapThatCannotBeMadeIsReportedAndRefused)
{
    auto form = Make();
    EXPECT_FALSE(form->PreparePage(QSize(1 << 30, 1 << 30)));
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Caption, QStringLiteral("Print preview"));
    EXPECT_EQ(m_sink.Messages()[0].Text,
              QStringLiteral("Cannot allocate temporary bitmap, not enough memory."));
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);
    EXPECT_EQ(form->PageBitmap().size(), QSize(100, 100)) << "the old bitmap stays";
}

// Page Up and Down, Home and End and the page number move through the
// pages wherever the focus is; Enter in the page number does not print.
TEST_F(PreviewTest, KeysAndThePageNumberMoveThroughThePages)
{
    m_total = 3;
    auto form = Make();
    ASSERT_TRUE(form->PreparePage());
    form->resize(500, 600);
    form->show();
    const auto shown = [&] { return MarkedPage(form->View()->Picture()); };
    const auto key = [&](QWidget *to, int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, modifiers);
        QApplication::sendEvent(to, &press);
    };
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(form->PageCountLabel()->text(), QStringLiteral("of 1\u2026")) << "still counting";
    while (form->CountMore()) {
    }
    EXPECT_EQ(form->PageCountLabel()->text(), QStringLiteral("of 3"));
    EXPECT_EQ(form->PageBox()->maximum(), 3);

    QWidget *button = form->SetupButton();
    const struct
    {
        const char *Name;
        QWidget *To;
        int Key;
        int Page;
    } steps[] = {
        {"Page Down on the picture", form->View(), Qt::Key_PageDown, 2},
        {"Page Down again", form->View(), Qt::Key_PageDown, 3},
        {"Page Down on the last page", form->View(), Qt::Key_PageDown, 3},
        {"Page Up", form->View(), Qt::Key_PageUp, 2},
        {"Home", form->View(), Qt::Key_Home, 1},
        {"Page Up on the first page", form->View(), Qt::Key_PageUp, 1},
        {"End", form->View(), Qt::Key_End, 3},
        {"Home with a button focused", button, Qt::Key_Home, 1},
        {"Page Down in the page number", form->PageBox(), Qt::Key_PageDown, 2},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.Name);
        key(step.To, step.Key);
        EXPECT_EQ(form->Page(), step.Page);
        EXPECT_EQ(shown(), step.Page);
        EXPECT_EQ(form->PageBox()->value(), step.Page);
    }

    // A page number typed and confirmed with Enter shows that page.
    auto *edit = form->PageBox()->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    form->PageBox()->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("3"));
    EXPECT_EQ(shown(), 2) << "not at every digit";
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(shown(), 3);
    EXPECT_TRUE(form->isVisible()) << "Enter in the page number does not print";
    EXPECT_EQ(form->result(), 0);
    form->PageBox()->setValue(1);
    EXPECT_EQ(shown(), 1);

    // + and - zoom from wherever the focus is.
    form->View()->SetFitToWindow(true);
    const double fitted = form->View()->Scale();
    key(button, Qt::Key_Plus, Qt::ShiftModifier);
    EXPECT_GT(form->View()->Scale(), fitted);
    EXPECT_FALSE(form->View()->FitToWindow());
    key(form->View(), Qt::Key_Minus);
    EXPECT_LT(form->View()->Scale(), fitted + 1);
}

TEST_F(PreviewTest, EndFindsTheLastPageBeforeTheCountIsDoneAndAnEmptyRunSaysSo)
{
    m_total = 250;
    auto form = Make();
    ASSERT_TRUE(form->PreparePage());
    form->show();
    EXPECT_FALSE(form->Pages().Complete);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(form->View(), &end);
    EXPECT_EQ(form->Pages(), (TQzPreviewPages{250, 250, true}));
    EXPECT_EQ(m_drawn.back(), 250);
    EXPECT_EQ(form->PageCountLabel()->text(), QStringLiteral("of 250"));

    m_total = 0;
    m_known = 0;
    auto empty = Make();
    ASSERT_TRUE(empty->PreparePage());
    empty->show();
    EXPECT_EQ(empty->Pages(), (TQzPreviewPages{0, 0, true}));
    EXPECT_FALSE(empty->PageBox()->isEnabled());
    EXPECT_EQ(empty->PageCountLabel()->text(), QStringLiteral("of 0: nothing to print"));
}

TEST_F(PreviewTest, DrawingWithoutACallbackIsAContractFault)
{
    TFormQzPreview form(m_printer, nullptr);
    ASSERT_TRUE(form.PreparePage());
    form.show();
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_TRUE(m_sink.Messages()[0].Text.startsWith(QStringLiteral("Callback not assigned")));
}

} // namespace
