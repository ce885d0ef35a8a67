// The board connection reaching up into the editor: the layering check must refuse it.
#include "editor/GridModel.h"
