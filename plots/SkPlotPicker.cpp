#include "SkPlotPicker.h"

#include "SkPlotSpectrogram.h"

#include <qwt_matrix_raster_data.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_text.h>

#include <cmath>

SkPlotPicker::SkPlotPicker(SkPlotSpectrogram *plot)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::CrossRubberBand,
                    QwtPicker::AlwaysOn, plot->canvas()),
      m_plot(plot)
{
}

QwtText SkPlotPicker::trackerText(const QPoint &pos) const
{
    const auto *data = dynamic_cast<const QwtMatrixRasterData *>(m_plot->spectrogram()->data());
    if (!data)
        return QwtText();
    m_pos = invTransform(pos);
    m_value = data->value(m_pos.x(), m_pos.y());
    m_cell = QPoint(static_cast<int>(std::floor(m_pos.x())),
                    static_cast<int>(std::floor(m_pos.y())));
    const QPoint reading = m_plot->readingCell(m_cell);
    return QwtText(QStringLiteral("%1, %2 = %3")
                       .arg(m_plot->readingText(reading.x()))
                       .arg(reading.y())
                       .arg(m_value, 0, 'f', 1));
}
