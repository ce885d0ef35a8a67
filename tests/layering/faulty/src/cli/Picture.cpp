// The tool reads pictures with Qt Gui's image reader, which it may; painting is the window's.
#include <QImageReader>
#include <QPainter>
