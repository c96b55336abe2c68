#pragma once
// Every bitmap of the panel by resource number, drawn at its resource size.

#include "canvas.h"

#include <memory>
#include <vector>

namespace artwork {

struct Bitmap {
    int id;
    std::unique_ptr<Canvas> canvas;
};

std::vector<Bitmap> drawAllBitmaps();

} // namespace artwork
