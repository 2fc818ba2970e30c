#include "SkQwtLayout.h"

#include <qwt_plot.h>
#include <qwt_plot_layout.h>

void skAlignCanvasToScales(QwtPlot *plot)
{
    plot->plotLayout()->setAlignCanvasToScales(true);
}
