// The grid's cell model over a parked image (ParkedImage.h) with all 20 items counted: the
// base of the editor's model tests.
#pragma once

#include "ParkedImage.h"
#include "editor/GridModel.h"

namespace halvex::test {

struct TGridModelRig : TParkedImage {
    TGridModelRig() { model.SetItemCount(kItemCount); }
    TItemCatalogue catalogue;
    TGridModel model{image, catalogue};
};

} // namespace halvex::test
