#pragma once

#include "viewer/filesource.h"

#include <QtGlobal>

#include <memory>
#include <vector>

// The lines of a log that the matching-lines pane lists, in log order: where
// each starts in the log and where it starts in the pane's text, which is the
// lines one after another with their own line breaks. 16 bytes a line, kept
// in chunks that never move, so a snapshot taken on this thread stays valid
// while more lines are appended and can be read on any thread.
class MatchedLines final
{
public:
    struct Row
    {
        qint64 source = 0; // start of the line in the log
        qint64 pane = 0;   // start of the line in the pane's text
    };
    static constexpr qint64 kChunkRows = 4096;

    // The first rows of a list as they were when taken.
    class Snapshot
    {
    public:
        qint64 count() const { return m_count; }
        // The end of the last row in the pane's text.
        qint64 paneSize() const { return m_paneSize; }
        Row row(qint64 i) const { return m_chunks[size_t(i / kChunkRows)][i % kChunkRows]; }
        qint64 rowEnd(qint64 i) const { return i + 1 < m_count ? row(i + 1).pane : m_paneSize; }
        // The row holding a pane offset (the last when past the end); -1 when
        // there are none.
        qint64 rowAt(qint64 panePos) const;
        // The last row starting in the log at or before position; -1: none.
        qint64 rowAtSource(qint64 position) const;

    private:
        // The last row whose field is at or before value; -1 for none.
        qint64 lastRowAtOrBefore(qint64 Row::*field, qint64 value) const;
        friend class MatchedLines;
        std::vector<std::shared_ptr<Row[]>> m_chunks;
        qint64 m_count = 0;
        qint64 m_paneSize = 0;
    };

    // A line of length bytes (its break included) starting at source; lines
    // come in log order.
    void append(qint64 source, qint64 length);
    qint64 count() const { return m_snapshot.m_count; }
    qint64 paneSize() const { return m_snapshot.m_paneSize; }
    const Snapshot &rows() const { return m_snapshot; }
    Snapshot snapshot() const { return m_snapshot; }

private:
    Snapshot m_snapshot;
};

// The pane's text as a source: the listed lines read from the log, then a
// line that has no break yet (the log's last, still growing) if it matches.
class MatchedLinesSource final : public FileSource
{
public:
    struct Tail
    {
        qint64 source = 0;
        qint64 length = 0; // 0: none
    };
    // Reads the log through log, which it owns.
    MatchedLinesSource(MatchedLines::Snapshot rows, Tail tail, std::unique_ptr<FileSource> log);

    qint64 size() const override { return m_rows.paneSize() + m_tail.length; }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override;
    std::unique_ptr<FileSource> openAnother() const override;

    const MatchedLines::Snapshot &rows() const { return m_rows; }
    const Tail &tail() const { return m_tail; }
    // Where a pane offset lies in the log (-1 past the end).
    qint64 sourceOf(qint64 panePos) const;
    // The pane offset of the line listed last at or before a log position
    // (-1: none), for the marker of the log's place.
    qint64 paneLineAt(qint64 logPos) const;

private:
    MatchedLines::Snapshot m_rows;
    Tail m_tail;
    std::unique_ptr<FileSource> m_log;
    mutable std::vector<char> m_span; // one read of lines near each other
};
