#pragma once

#include <QRect>

// The windows' layouts are kept in twips as they were drawn; 15 twips make
// one pixel at 96 dots per inch.
[[nodiscard]] inline QRect twips(int left, int top, int width, int height)
{
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0), qRound(height / 15.0));
}
