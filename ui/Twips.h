#pragma once

#include <QRect>

namespace brio {

// Layout measures of the windows are in twips; at 96 dots per inch 15 twips make one pixel.
constexpr int kTwipsPerPixel = 15;

constexpr int TwipsToPixels(int twips) {
    return twips / kTwipsPerPixel;
}

// A rectangle given in twips (left, top, width, height), in pixels.
inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

} // namespace brio
