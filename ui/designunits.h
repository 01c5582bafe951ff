#pragma once

#include "ui/form1texts.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <string>

// What the windows share of their design: positions in twips and the Chinese type they were drawn in.
namespace dravex::design {

// The layouts are kept in twips, as they were designed; the screen has 15 of them to a pixel.
inline constexpr int kTwipsPerPixel = 15;

constexpr int px(int twips) {
    return twips / kTwipsPerPixel;
}

inline QRect twipRect(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

inline QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

inline QString text(const std::string &utf8) {
    return QString::fromStdString(utf8);
}

// The design's Chinese family first; where it is missing, the stand-in we ship.
inline QFont songFont(const char *family, qreal points, bool bold = false) {
    QFont font;
    font.setFamilies({text(family), text(form1texts::kFontSongStandIn)});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace dravex::design
