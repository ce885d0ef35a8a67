// The picture source may read pictures with Qt Gui's image reader; painting is the window's.
#include <QImageReader>
#include <QPainter>
