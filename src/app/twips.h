#pragma once
// The window's layout is measured in twips; 15 twips make one pixel.
#include <QRect>
#include <cmath>

namespace quendrel {

constexpr int kTwipsPerPixel = 15;

inline int TwipsToPixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

}  // namespace quendrel
