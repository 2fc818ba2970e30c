#pragma once
// The viewer's command line: what to open ("--batch" N, "--n" N, files, wildcards,
// directories, one stream address) and the options for documentation and headless machines
// (--help, --version, --process-params, --grab FILE.png with --frame N, --view and --dock).
//
// "--batch" and "--n" with a missing or non-numeric value are ignored (the value is still
// consumed), so a stored setting stays in force; the grab options refuse bad values with a
// message, since a script relies on what they produce.

#include <QString>
#include <QStringList>

struct SkCommandLine
{
    QStringList sources;
    bool streamMode = false;  // a source is a stream address: play at once
    int batchSize = -1;       // -1: not given
    int maxFrames = -1;       // -1: not given
    bool help = false;
    bool version = false;
    bool processParams = false;

    QString grabFile;         // empty: no grab
    int grabFrame = -1;       // -1: the frame the window shows by itself
    int grabView = -1;        // 0 frame, 1 range gates, 2 velocities; -1: unchanged
    QStringList grabDocks;    // docks raised before the grab ("log", "live", "rgsum", ...)
    int grabType = -1;        // packet type shown (SkPacketTypeEnum); -1: unchanged
    double grabZMax = -1;     // top of the colour scale; negative: unchanged
    int grabPeakShift = -1;   // 0, 200 or 512 columns; -1: unchanged
    int grabRangegate = -1;   // range gate of the marker; -1: unchanged
    int grabChannel = -1;     // channel (display column) of the marker; -1: unchanged
    QString grabDialog;       // "options": grab that dialog (each tab) instead of the window
    QString language;         // --language: as if chosen in the options ("English", "Deutsch")

    QStringList errors;       // one line per refused argument
    QStringList unmatched;    // wildcards and folders that name no data file

    // `args` without the program name.
    static SkCommandLine parse(const QStringList &args);
    // The names --dock accepts.
    static QStringList dockNames();
    // The names --show accepts, and the packet type of each.
    static QStringList typeNames();
    static int typeOf(const QString &name);
    static QString helpText();
};
