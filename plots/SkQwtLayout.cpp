#include "SkQwtLayout.h"

#include <qwt_plot.h>
#include <qwt_plot_layout.h>

void skAlignCanvasToScales(QwtPlot *plot)
{
    plot->plotLayout()->setAlignCanvasToScales(true);
}

void skSetCanvasMargin(QwtPlot *plot, int margin, int axis)
{
    plot->plotLayout()->setCanvasMargin(margin, axis);
}
