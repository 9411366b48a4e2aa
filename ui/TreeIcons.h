// The tree's own icons, painted in code at 16 x 16 so that they stay clear at that size.
#pragma once

#include <QPixmap>

// The picture of an icon resource id of the tree (206..214, 230, 252); an empty pixmap for others.
QPixmap DrawTreeIcon(int id);
