// Placeholder until the pictures are drawn.
#include "pictures.h"

QPixmap LoadPicture(Picture)
{
    return {};
}
