#pragma once

#include <QIcon>
#include <QPixmap>

// The buttons' pictures and the two icons.
enum class Picture
{
    Scan,            // btnScan, 16 x 16
    Id,              // btnID, 16 x 16
    BaudRate,        // btnBaudRate, 16 x 16
    Mode,            // btnMode, 16 x 16
    Process,         // btnProcess, 32 x 20
    All,             // btnAll, 16 x 16
    Factory,         // btnFactory, 100 x 50
    ChineseGB,       // btnGB, 34 x 16
    ChineseBIG5,     // btnBIG5, 34 x 16
    WindowIcon,      // 16 x 16
    ApplicationIcon, // 32 x 32
};

// The picture, ready to show. The button pictures are stored opaque, and the colour of
// their bottom-left pixel is made transparent wherever it occurs; the icons are stored
// with their transparent background. A null pixmap if the picture cannot be read.
QPixmap LoadPicture(Picture picture);

// The picture as an icon that stays sharp on screens of two, three or four device pixels
// to the point: each size is the picture with every pixel drawn as a square of pixels,
// never smoothed up.
QIcon PictureIcon(Picture picture);
