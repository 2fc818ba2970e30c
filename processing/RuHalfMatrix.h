#pragma once
// Left half of a frame-shaped matrix: channels 0..511 of every range gate. Used for the
// half-symmetry differences, whose right half is zero by definition and so is not stored.

#include "RuMatrix.h"

using RuHalfMatrix = Eigen::Matrix<float, Eigen::Dynamic, 512, Eigen::RowMajor>;
