#pragma once
// The widgets of the parameter dock bound to the alarm parameter keys ("params/bgLength" ->
// alarmBackgroundLengthSpinBox, ...). One table serves the program store and parameter files
// (readParameters/writeParameters) and the detector engine (parameterSet/setParameterSet),
// so the dock, the files and the engine can never disagree about a key.

#include "RuParameterSet.h"

#include <QString>
#include <QVector>

class QSettings;
class QWidget;

class SkParameterWidgets
{
public:
    struct Binding
    {
        QString key;        // "section/name", in the order files are written
        QWidget *widget;    // spin box, double spin box, check box, group box, combo or line edit
    };

    // Finds the widgets by object name below `root` (the main window).
    explicit SkParameterWidgets(QWidget *root);

    const QVector<Binding> &bindings() const { return m_bindings; }
    // Every widget of the table was found.
    bool isComplete() const { return m_complete; }

    // Sets each widget whose key the store holds; others keep their value.
    void readParameters(const QSettings &settings) const;
    void writeParameters(QSettings &settings) const;

    // What the widgets say, as the engine takes it.
    RuParameterSet parameterSet() const;
    // Shows `set` in the widgets.
    void setParameterSet(const RuParameterSet &set) const;

    // The key-to-object-name table.
    static QVector<QPair<QString, QString>> table();

private:
    QVector<Binding> m_bindings;
    bool m_complete = true;
};
