#include "RuAlarmResult.h"

#include "RuConditioning.h"

RuMatrix RuAlarmResult::normalised() const
{
    if (!hasNormalised() || filtered->rows() != background->rows())
        return RuMatrix(0, RuMatrix::ColsAtCompileTime);
    return ruNormalised(*filtered, *background);
}

RuMatrix RuAlarmResult::halfSymmetryMatrix() const
{
    if (!hasHalfSymmetry())
        return RuMatrix(0, RuMatrix::ColsAtCompileTime);
    const RuHalfMatrix &half = *halfSymmetry;
    RuMatrix m(half.rows(), RuMatrix::ColsAtCompileTime);
    m.leftCols(RuHalfMatrix::ColsAtCompileTime) = half;
    m.rightCols(RuMatrix::ColsAtCompileTime - RuHalfMatrix::ColsAtCompileTime).setZero();
    return m;
}
