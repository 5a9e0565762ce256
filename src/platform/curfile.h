#pragma once
// Reading cursor files: a static icon or cursor (ICO/CUR directory with one
// or more bitmaps, or PNG images) and an animated cursor (RIFF "ACON" with
// an "anih" header, optional "seq " and "rate" chunks and a "fram" list of
// ICO/CUR frames). The readers check every size and offset against the
// buffer and refuse what they cannot read; they never read past the bytes
// they are given.

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QString>

struct TCursorFrame {
    QImage Image; // ARGB32, premultiplied
    QPoint HotSpot;
};

struct TCursorFileData {
    QList<TCursorFrame> Frames;
    // Steps of the animation: the frame shown and how long, in jiffies of
    // 1/60 s. A static cursor has one step of frame 0.
    QList<int> Sequence;
    QList<int> Jiffies;
};

// A jiffy in milliseconds, rounded; never below 1 ms per step.
int JiffiesToMs(int jiffies);

// The image of an ICO or CUR file nearest to size x size (deeper colour
// wins among equal sizes); for a CUR the hot spot of its directory entry.
bool ReadIconFile(QByteArrayView bytes, TCursorFrame &frame, QString *error, int size = 32);
// An animated cursor file.
bool ReadAniFile(QByteArrayView bytes, TCursorFileData &data, QString *error, int size = 32);
// Either kind, told apart by the first bytes.
bool ReadCursorFile(QByteArrayView bytes, TCursorFileData &data, QString *error, int size = 32);
