// Readable descriptions of records, for `quorvex records` and test messages.
#pragma once

#include <string>

#include "engine/metafile/records.h"

namespace qv::mf {

// The fields of a record that matter, as "name=value" pairs in the order a
// program passes them (x before y; left, top, right, bottom).
std::string describeRecord(const Record& r);

// One line: file offset, size in words, function number and name, fields.
std::string dumpLine(const Record& r, size_t fileOffset);

}  // namespace qv::mf
