#pragma once
// Progress of a command on one line of standard error, only when that is a terminal (never
// in pipes or files): frames done, the share done (of a known frame total, or of the file's
// compressed bytes read against its size), the rate and the time left, redrawn a few times a
// second.

#include <QElapsedTimer>
#include <QString>

namespace cli {

class ProgressLine
{
public:
    explicit ProgressLine(const QString &command);
    // Ends the line so that later messages start on a fresh one.
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    bool shown() const { return m_shown; }
    // The source being read has just been opened (`index` of `count` sources). With a
    // frame total the share is counted in frames, else in bytes read of a regular file.
    void setSource(const QString &path, int index = 0, int count = 1, qint64 totalFrames = 0);
    void setTotal(qint64 totalFrames) { m_total = totalFrames; }
    // The current source has been read to its end.
    void sourceEnded();
    // One more frame done; redraws when the last drawing is old enough.
    void frameDone();
    // Draws the last state and ends the line (a later frame starts a new one).
    void finish();

private:
    double share() const;
    void draw();

    const QString m_command;
    const bool m_shown;
    QElapsedTimer m_clock;
    qint64 m_lastDrawn = -1;
    qint64 m_sourceStartMs = 0;
    qint64 m_frames = 0;
    qint64 m_total = 0;
    int m_fd = -1;      // the descriptor reading the current source, when it is a regular file
    qint64 m_size = 0;  // its size
    quint64 m_device = 0; // and identity, so that a descriptor reused for another file
    quint64 m_inode = 0;  // is not taken for it
    bool m_sourceEnded = false;
    int m_index = 0;
    int m_count = 1;
    bool m_finished = false; // drawing the final state
};

} // namespace cli
