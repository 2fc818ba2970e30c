#pragma once
// The alarm task: runs the detector engine over the frames of the store in index order and
// hands each frame's result back to the store, which attaches it and announces it. The owner
// configures calculator() before start() and never touches it afterwards.

#include "SkFrameTask.h"

#include "RuAlarmResult.h"

#include <memory>

class RuAlarmCalculator;

class SkFrameTaskAlarm : public SkFrameTask
{
    Q_OBJECT

public:
    explicit SkFrameTaskAlarm(SkFrameStore *store, QObject *parent = nullptr);
    ~SkFrameTaskAlarm() override;

    RuAlarmCalculator *calculator() { return m_calculator.get(); }

signals:
    // Declared for the window's connection; results travel through the store.
    void calculated(int frameno, SkAlarmResultSharedPtr result);

protected:
    void process() override;

private:
    std::unique_ptr<RuAlarmCalculator> m_calculator;
    quint64 m_generation;
};
