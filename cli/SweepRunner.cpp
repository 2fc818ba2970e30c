#include "SweepRunner.h"

#include "Analysis.h"

#include "RuAlarmCalculator.h"
#include "RuAlarmEvents.h"
#include "RuAlarmLogCsv.h"
#include "RuFrame.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <thread>

namespace cli {

namespace {

// Frames per batch: enough that a set keeps its engine's state warm over many frames and
// the threads rarely wait on each other, few enough to hold in memory with ease.
constexpr size_t BatchFrames = 64;

} // namespace

struct SweepRunner::Frame
{
    RuFrame frame;
    qint64 number = 0;
    qint64 timeMicros = 0;
};

// One set at work: its engine, its log and the tally of what it raised.
class SweepRunner::Set
{
public:
    explicit Set(const QString &logPath) : m_log(logPath) {}

    bool open(const QString &iniPath, QStringList *warnings, QString *error)
    {
        if (!loadParameterFile(iniPath, &m_engine, error, warnings))
            return false;
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = QStringLiteral("cannot write %1: %2").arg(m_log.fileName(), m_log.errorString());
            return false;
        }
        write(QByteArrayLiteral("frame,event,details\n"));
        return true;
    }

    void process(const std::vector<Frame> &frames)
    {
        for (const Frame &f : frames) {
            m_engine.processFrame(f.frame, f.timeMicros);
            const SkAlarmResultSharedPtr result = m_engine.lastResult();
            if (!result)
                continue;
            for (const RuAlarmEvent &event : ruAlarmEvents(*result)) {
                write(ruAlarmLogCsvRow(f.number, event));
                m_tally.count(f.number, f.timeMicros, event);
            }
        }
    }

    bool finish(QString *error)
    {
        if (!m_writeFailed && !m_log.flush())
            m_writeFailed = true;
        if (m_writeFailed)
            *error = QStringLiteral("cannot write %1: %2").arg(m_log.fileName(), m_log.errorString());
        m_log.close();
        return !m_writeFailed;
    }

    const RuAlarmCalculator &engine() const { return m_engine; }
    const SweepTally &tally() const { return m_tally; }

private:
    void write(const QByteArray &bytes)
    {
        if (!m_writeFailed && m_log.write(bytes) != bytes.size())
            m_writeFailed = true;
    }

    RuAlarmCalculator m_engine;
    QFile m_log;
    bool m_writeFailed = false;
    SweepTally m_tally;
};

SweepRunner::SweepRunner(int jobs) : m_jobs(std::max(1, jobs))
{
}

SweepRunner::~SweepRunner() = default;

bool SweepRunner::addSet(const QString &iniPath, const QString &logPath, QStringList *warnings,
                         QString *error)
{
    auto set = std::make_unique<Set>(logPath);
    if (!set->open(iniPath, warnings, error))
        return false;
    m_sets.push_back(std::move(set));
    return true;
}

bool SweepRunner::allDetectorsOff(int index) const
{
    return cli::allDetectorsOff(m_sets[size_t(index)]->engine());
}

const SweepTally &SweepRunner::tally(int index) const
{
    return m_sets[size_t(index)]->tally();
}

bool SweepRunner::readBatch(FrameRun &run, qint64 maxFrames, const QString &command,
                            std::vector<Frame> *batch)
{
    batch->clear();
    while (batch->size() < BatchFrames && (maxFrames == 0 || run.framesRead() < maxFrames)) {
        // A new frame each time: reading into one the batch shares would copy it first.
        RuFrame frame;
        if (!run.next(command, &frame))
            break;
        const qint64 time = frame.timeMicros();
        batch->push_back({frame, run.framesRead() - 1, time});
        m_times.append(time);
    }
    return !batch->empty();
}

// Threads of our own, joined after each batch: the batch and the sets' state pass between
// them through the start and the join, which ThreadSanitizer follows (through a thread pool
// of a Qt built without it, it could not).
void SweepRunner::run(FrameRun &run, qint64 maxFrames, const QString &command)
{
    const int sets = int(m_sets.size());
    std::vector<Frame> current;
    std::vector<Frame> next;
    bool more = readBatch(run, maxFrames, command, &current);
    while (more) {
        // Each worker takes the next set nobody has processed this batch yet.
        std::atomic<int> nextSet{0};
        std::vector<std::thread> workers;
        for (int t = 0; t < std::min(m_jobs, sets); ++t) {
            workers.emplace_back([this, &nextSet, &current, sets] {
                for (int i = nextSet++; i < sets; i = nextSet++)
                    m_sets[size_t(i)]->process(current);
            });
        }
        more = readBatch(run, maxFrames, command, &next);
        for (std::thread &worker : workers)
            worker.join();
        current.swap(next);
    }
}

bool SweepRunner::finish(QStringList *errors)
{
    bool written = true;
    for (const auto &set : m_sets) {
        QString error;
        if (!set->finish(&error)) {
            *errors << error;
            written = false;
        }
    }
    return written;
}

} // namespace cli
