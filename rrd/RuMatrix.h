#pragma once
// A frame as numbers: one row per range gate (row 0 nearest the radar), one column per
// Doppler channel. Channel c and channel 1023 - c form a mirror pair. Row-major, so a row is
// one contiguous spectrum; copies are deep.

#include <Eigen/Core>

using RuMatrix = Eigen::Matrix<float, Eigen::Dynamic, 1024, Eigen::RowMajor>;
