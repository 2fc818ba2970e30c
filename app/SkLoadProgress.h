#pragma once
// How far the analysis has got through what was opened, for the status bar's alarm progress.
// A stream is endless: its share is that of the frames held. Files are counted through to
// their end: a file's frame total comes from its size, or from the trailer of a gzip file
// (which holds the uncompressed size); where it cannot be known, the share of the frames
// held stands in. Files show 100 % only once the load has ended and every frame it stored
// has its result, never while more frames are to come.

#include <QString>
#include <QStringList>

class SkLoadProgress
{
public:
    // A new open of `sources`.
    void start(const QStringList &sources, bool stream);
    // The file load has ended and every frame it stored has its result (true), or the
    // analysis starts again (false).
    void setComplete(bool complete) { m_complete = complete; }
    // The share in percent, once the frames up to `analysedEnd` (exclusive, counted from the
    // first frame of the open) have their results and the store holds `heldLength` frames
    // from `heldStart`.
    int percent(int analysedEnd, int heldStart, int heldLength) const;
    // The frames the files hold together; -1 when not known (streams, archives).
    qint64 expectedFrames() const { return m_expected; }

    // The frames of one file source, or -1 when that cannot be told without reading it.
    static qint64 framesIn(const QString &source);

private:
    qint64 m_expected = -1;
    bool m_stream = false;
    bool m_complete = false;
};
