#pragma once
// A report as one self-contained HTML page that an operator can mail after an event: the
// recording, the alarm log with UTC times, range gates and distances, the activity over the
// whole recording and the views of each alarm as pictures inside the page (PNG data URIs),
// the settings used. No scripts, nothing fetched from elsewhere; it prints as it shows.

#include "RuParameterSet.h"
#include "SkReportPictures.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class SkReportCollector;

struct SkReportContext
{
    QStringList sources;
    QString settingsOrigin; // "my.ini", "the radar's process parameters of the first frame"
    QString program;        // "rrdcli 0.1"
};

class SkReportPage
{
public:
    SkReportPage(const SkReportCollector &data, const RuParameterSet &parameters,
                 const SkReportContext &context);

    // Draws the pictures (a QApplication must exist) and returns the page.
    QByteArray html() const;

private:
    QString head() const;
    QString recording() const;
    QString alarmLog() const;
    QString activity() const;
    QString alarms() const;
    QString settings() const;

    const SkReportCollector &m_data;
    const RuParameterSet m_parameters;
    const SkReportContext m_context;
    const SkReportPictures m_pictures;
};
