#include "print/qzprintpreview.h"

#include "print/qzimagebox.h"

#include "common/recordingsink.h"

#include <QPageLayout>
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

    std::unique_ptr<TFormQzPreview> Make()
    {
        return std::make_unique<TFormQzPreview>(m_printer,
                                                [this](QPainter &canvas, const QSize &size) {
                                                    ++m_calls;
                                                    m_sizes.push_back(size);
                                                    canvas.fillRect(10, 10, 20, 20, Qt::black);
                                                });
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
    int m_calls = 0;
    std::vector<QSize> m_sizes;
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

TEST_F(PreviewTest, DrawingWithoutACallbackIsAContractFault)
{
    TFormQzPreview form(m_printer, nullptr);
    ASSERT_TRUE(form.PreparePage());
    form.show();
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_TRUE(m_sink.Messages()[0].Text.startsWith(QStringLiteral("Callback not assigned")));
}

} // namespace
