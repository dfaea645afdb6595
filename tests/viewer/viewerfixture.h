#pragma once

#include "viewer/logview.h"

#include "testfiles.h"

#include "common/recordingsink.h"
#include "common/viewoption.h"

#include <QFontDatabase>
#include <QScrollBar>

#include <memory>
#include <vector>

// A viewer with a known fixed-pitch font, sized to show `lines` full lines.
class ViewerFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_view = std::make_unique<LogView>();
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(13);
        font.setStyleHint(QFont::TypeWriter);
        setOption(*m_view, &ViewOptions::font, {font, Qt::black});
        setOption(*m_view, &ViewOptions::color, Qt::white);
        m_lineHeight = QFontMetrics(font).height();
        m_charWidth = QFontMetrics(font).horizontalAdvance(QLatin1Char('0'));
    }
    void TearDown() override { m_view.reset(); }
    // Sizes the client area to `lines` full lines and `columns` characters.
    void showLines(int lines, int columns = 60)
    {
        const QSize want(columns * m_charWidth + 4, lines * m_lineHeight + 2);
        // Frame and scroll bars measured on another viewer: passing through
        // a larger size would let a view that shows the whole file follow
        // its end when it shrinks.
        LogView sample;
        sample.resize(want + QSize(40, 40));
        sample.show();
        const QSize extra = sample.size() - sample.viewport()->size();
        m_view->resize(want + extra);
        m_view->show();
        ASSERT_EQ(m_view->viewport()->size(), want);
        m_view->redraw();
    }
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("view.log"))
    {
        return m_files.write(name, bytes);
    }
    // Text of every line recorded by the last repaint.
    std::vector<QString> drawnTexts() const
    {
        std::vector<QString> texts;
        const DrawnLines &rec = m_view->strPositions();
        for (int i = 0; i < rec.count(); ++i)
            texts.push_back(rec.at(i).str);
        return texts;
    }
    static QByteArray numberedLines(int count, bool finalBreak = true)
    {
        QByteArray bytes;
        for (int i = 1; i <= count; ++i) {
            bytes += "line" + QByteArray::number(i).rightJustified(3, '0');
            if (i < count || finalBreak)
                bytes += '\n';
        }
        return bytes;
    }

    TempFiles m_files;
    RecordingSink m_sink;
    std::unique_ptr<LogView> m_view;
    int m_lineHeight = 0;
    int m_charWidth = 0;
};
