#include "viewerfixture.h"

#include "text/contract.h"

#include <QBuffer>
#include <QPainter>

namespace {

using Drawing = ViewerFixture;

TEST_F(Drawing, AViewLowerThanOneLineStillShowsOne)
{
    m_view->Open(Write(NumberedLines(5)));
    ShowLines(0);
    EXPECT_EQ(m_view->VisibleLines(), 0);
    EXPECT_EQ(DrawnTexts(), (std::vector<QString>{QStringLiteral("line001")}));
    EXPECT_EQ(m_view->ViewPageSize(), 0);
    EXPECT_FALSE(m_view->ViewAtEnd());
}

TEST_F(Drawing, OverlongLineBecomesScreenLinesOfMaxLength)
{
    m_view->Open(Write(QByteArray(1000, 'x') + "\nend\n"));
    ShowLines(10);
    const auto texts = DrawnTexts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0].size(), 300);
    EXPECT_EQ(texts[2].size(), 300);
    EXPECT_EQ(texts[3].size(), 100);
    EXPECT_EQ(texts[4], QStringLiteral("end"));
    EXPECT_TRUE(m_view->ViewAtEnd());
    EXPECT_EQ(m_view->ViewPageSize(), m_view->FileSize());
}

TEST_F(Drawing, WordWrapCutsAtTheWindowEdge)
{
    m_view->Open(Write("alpha beta gamma delta\n"));
    m_view->SetTextWrap(true);
    ShowLines(10, 11); // room for 11 characters
    EXPECT_EQ(DrawnTexts(),
              (std::vector<QString>{QStringLiteral("alpha beta"), QStringLiteral("gamma delta")}));
    EXPECT_FALSE(m_view->horizontalScrollBar()->isEnabled());
}

TEST_F(Drawing, TabsExpandToStopsInAFixedPitchFont)
{
    m_view->Open(Write("a\tb\n"));
    ShowLines(3);
    QPoint p;
    ASSERT_TRUE(m_view->StrPositions().CoordFromPos(2, &p));
    EXPECT_EQ(p.x(), m_view->TextLeft() + 8 * m_charWidth) << "b stands in column 9";
}

TEST_F(Drawing, ControlCharactersShowAsFullStops)
{
    m_view->Open(Write(QByteArray("a\0b\x01\tc\r\n", 8)));
    ShowLines(3);
    EXPECT_EQ(DrawnTexts().front(), QStringLiteral("a.b.\tc"));
}

TEST_F(Drawing, DrawLineEventsFollowTheContract)
{
    m_view->Open(Write("a b\tc\r\nlast"));
    m_view->SetTextNonPrintable(true);
    struct Seen
    {
        QString str;
        QString all;
        bool showEol;
    };
    std::vector<Seen> drawn;
    m_view->OnDrawLine2 = [&](TQzBinHex *, QPainter &, const QString &str, const QPoint &,
                              const TQzBinHexOutputOptions &o) {
        drawn.push_back({str, {}, o.ShowEol});
    };
    std::vector<QString> all;
    m_view->OnDrawLine = [&](TQzBinHex *, QPainter &, const QString &, const QString &strAll,
                             const QRect &, const QPoint &, bool &) { all.push_back(strAll); };
    ShowLines(5);
    drawn.clear();
    all.clear();
    m_view->Redraw();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].str, QStringLiteral("a\u00B7b  \u00BB  c"))
        << "markers, no end-of-line marker in AStr";
    EXPECT_TRUE(drawn[0].showEol);
    EXPECT_FALSE(drawn[1].showEol) << "the last line has no line break";
    EXPECT_EQ(all, (std::vector<QString>{QStringLiteral("a b\tc"), QStringLiteral("last")}));
}

TEST_F(Drawing, AHandlerThatTakesOverALineGetsNoRecordForIt)
{
    m_view->Open(Write("keep\ntake\nkeep\n"));
    int events2 = 0;
    m_view->OnDrawLine = [](TQzBinHex *, QPainter &canvas, const QString &str, const QString &,
                            const QRect &rect, const QPoint &, bool &done) {
        canvas.fillRect(rect, Qt::green);
        canvas.setPen(Qt::red);
        canvas.setBackground(Qt::green);
        done = str == QStringLiteral("take");
    };
    m_view->OnDrawLine2 = [&](TQzBinHex *, QPainter &, const QString &, const QPoint &,
                              const TQzBinHexOutputOptions &) { ++events2; };
    ShowLines(5);
    events2 = 0;
    m_view->Redraw();
    EXPECT_EQ(DrawnTexts(), (std::vector<QString>{QStringLiteral("keep"), QStringLiteral("keep")}));
    EXPECT_EQ(events2, 2);
    // The handler's colours carry into the viewer's drawing of a kept line...
    const QImage &img = m_view->Bitmap();
    EXPECT_EQ(img.pixelColor(img.width() - 2, m_lineHeight / 2), QColor(Qt::green));
    // ...and never leak into the band below the drawn lines.
    EXPECT_EQ(img.pixelColor(img.width() - 2, 4 * m_lineHeight), QColor(Qt::white));
}

TEST_F(Drawing, SelectionInvertsOnlyTheCoveredParts)
{
    const QString path = Write("aaaaaaaaaa\nbbbbbbbbbb\n");
    m_view->Open(path);
    ShowLines(4);
    const QImage before = m_view->Bitmap().copy();
    m_view->SetSelection(5, 10, false, false, true); // the tail of line 1, the head of line 2
    const QImage after = m_view->Bitmap();
    auto changedColumns = [&](int row) {
        int first = -1, last = -1;
        const int y = row * m_lineHeight + m_lineHeight / 2;
        for (int x = 0; x < before.width(); ++x) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        return std::pair(first, last);
    };
    const int left = m_view->TextLeft();
    const auto [f1, l1] = changedColumns(0);
    EXPECT_EQ(f1, left + 5 * m_charWidth);
    EXPECT_EQ(l1, left + 10 * m_charWidth - 1);
    const auto [f2, l2] = changedColumns(1);
    EXPECT_EQ(f2, left);
    EXPECT_EQ(l2, left + 4 * m_charWidth - 1);
    EXPECT_EQ(changedColumns(2).first, -1);
}

TEST_F(Drawing, PrintingDrawsBlackOnWhiteUpToTheLimitAndRecordsNothing)
{
    m_view->SetColor(Qt::darkBlue);
    m_view->Open(Write(NumberedLines(50)));
    ShowLines(10);
    int events = 0;
    m_view->OnDrawLine = [&](TQzBinHex *, QPainter &, const QString &, const QString &,
                             const QRect &, const QPoint &, bool &) { ++events; };
    const int recorded = m_view->StrPositions().Count();
    QImage page;
    TQzBinHex::DrawResult result;
    m_view->DrawTo(page, 400, 40 * m_lineHeight, 3 * 8, true, nullptr, result);
    EXPECT_EQ(events, 0) << "no draw-line events while printing";
    EXPECT_EQ(m_view->StrPositions().Count(), recorded) << "the screen's record is untouched";
    EXPECT_EQ(page.pixelColor(page.width() - 1, 0), QColor(Qt::white));
    // Lines stop after the one that passes the limit position (24): rows 0..3.
    auto rowHasInk = [&](int row) {
        for (int x = 0; x < page.width(); ++x) {
            for (int y = row * m_lineHeight; y < (row + 1) * m_lineHeight; ++y) {
                if (page.pixelColor(x, y) != QColor(Qt::white))
                    return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(rowHasInk(3));
    EXPECT_FALSE(rowHasInk(4));
}

TEST_F(Drawing, EmptyDocumentShowsBackgroundAndGutter)
{
    m_view->SetTextGutter(true);
    m_view->Open(Write({}));
    ShowLines(3);
    const QImage &img = m_view->Bitmap();
    EXPECT_EQ(img.pixelColor(2, 2), m_view->TextColorGutter);
    EXPECT_EQ(img.pixelColor(img.width() - 2, 2), QColor(Qt::white));
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());
    EXPECT_FALSE(m_view->horizontalScrollBar()->isEnabled());
    EXPECT_EQ(m_view->StrPositions().Count(), 0);
}

// A stream whose reads fail until told otherwise.
class FlakyStream final : public QBuffer
{
public:
    using QBuffer::QBuffer;
    bool failing = true;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        return failing ? -1 : QBuffer::readData(data, maxSize);
    }
};

TEST_F(Drawing, FailedReadAsksRetryOrCancelThenShowsTheError)
{
    QByteArray data("hello\n");
    FlakyStream stream(&data);
    stream.open(QIODevice::ReadOnly);
    m_sink.QueueAnswers({MsgResult::Retry, MsgResult::Cancel});
    m_view->OpenStream(&stream);
    ShowLines(3);
    ASSERT_EQ(m_sink.Messages().size(), 2u);
    EXPECT_EQ(m_sink.Messages()[0].Text, QStringLiteral("Cannot read stream"));
    EXPECT_EQ(m_sink.Messages()[0].Buttons, MsgButtons::RetryCancel);
    EXPECT_FALSE(m_view->ReadOK());
    EXPECT_EQ(m_view->StrPositions().Count(), 0) << "only the error text is drawn";
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());

    // Retry succeeds once the source reads again.
    stream.failing = false;
    m_sink.QueueAnswers({MsgResult::Retry});
    m_view->SetMode(vbmodeText);
    EXPECT_TRUE(m_view->ReadOK());
    EXPECT_EQ(DrawnTexts(), (std::vector<QString>{QStringLiteral("hello")}));
}

TEST_F(Drawing, ViewOutsideTheWindowIsAContractFailure)
{
    m_view->SetMaxLengths(vbmodeText, 2); // a window of 3 x 604 bytes
    m_view->Open(Write(QByteArray(5000, 'x')));
    ShowLines(3);
    m_view->ReadBuffer(4000); // moves the window away from the view at 0
    try {
        m_view->Redraw();
        FAIL() << "no contract failure";
    } catch (const ContractError &e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Positions out of range: DrawTo\rBufferPos: 3396, ViewPos: 0, "
                                 "BufMaxOffset: 604"));
    }
    EXPECT_EQ(m_view->BusyCount(), 0) << "the busy count is restored";
}

} // namespace
