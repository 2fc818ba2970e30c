#pragma once
// Plot-layout calls kept apart: Qwt 6.1's qwt_plot_layout.h builds a QFlags from 0, which Qt
// 5.15 no longer offers once its deprecated API is disabled, so only SkQwtLayout.cpp includes
// that header (compiled with the 5.15 deprecations allowed).

class QwtPlot;

// Lets the canvas end exactly at the first and last scale ticks (no margin around an image).
void skAlignCanvasToScales(QwtPlot *plot);

// Pixels between the ends of `axis`' scale and the canvas edges (scales not aligned to the canvas).
void skSetCanvasMargin(QwtPlot *plot, int margin, int axis);
