#include "RuFileBase.h"

RuFileBase::~RuFileBase() = default;

int RuFileBase::append(const RuFrame &frame)
{
    seek(-1);
    return writeFrame(frame);
}
