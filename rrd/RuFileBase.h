#pragma once
// A source or sink of radar frames, whatever lies behind it.

#include <QString>

class RuFrame;

class RuFileBase
{
public:
    virtual ~RuFileBase();

    // Seeks to the end (ignoring a refusal) and writes the frame; the result of writeFrame.
    virtual int append(const RuFrame &frame);
    virtual bool atEnd() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual quint32 position() const = 0;
    virtual bool readFrame(RuFrame &frame) = 0;
    virtual int seek(qint64 index) = 0;
    virtual qint32 frameCount() = 0;
    virtual QString errorString() const = 0;
    virtual int writeFrame(const RuFrame &frame) = 0;
};
