#include "engine/normalize.h"

#include "engine/metafile/gdi.h"

namespace qv {

mf::MetafileHandle normalizeMetafile(const mf::Metafile& source) {
    auto dc = mf::CreateMetaFileW();
    mf::PlayMetaFile(*dc, source);
    return mf::CloseMetaFile(std::move(dc));
}

}  // namespace qv
