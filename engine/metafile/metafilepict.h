// The clipboard's picture description: mapping mode, suggested size in
// 0.01 mm and the picture.
#pragma once

#include <cstdint>

#include "engine/metafile/metafile.h"

namespace qv::mf {

constexpr int32_t MM_TEXT = 1;
constexpr int32_t MM_ANISOTROPIC = 8;

struct METAFILEPICT {
    int32_t mm = MM_ANISOTROPIC;
    int32_t xExt = 0;
    int32_t yExt = 0;
    const Metafile* hMF = nullptr;
};

}  // namespace qv::mf
