// Replays a picture unchanged into a recording DC.
#pragma once

#include "engine/metafile/metafile.h"

namespace qv {

// Every record played as it stands into a fresh recording DC: what the
// platform writes when it copies a picture record by record.
mf::MetafileHandle normalizeMetafile(const mf::Metafile& source);

}  // namespace qv
