#pragma once
// How a task ended. The main window words its status-bar message after it.

#include <QMetaType>

enum SkFrameTaskStatus : int {
    SkTaskSucceeded = 0, // "Task %1 finished succesfully!"
    SkTaskAborted = 1,   // "Task %1 aborted on user request!"
    SkTaskFailed = 2     // "Task %1 finished with error '%2'"
};

Q_DECLARE_METATYPE(SkFrameTaskStatus)
