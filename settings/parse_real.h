// Reading a stored real number whatever decimal separator it was written with.
#pragma once

#include <string_view>

namespace qv {

// The larger of the text read as it is and the text read with its first ',' turned into '.'
// (or, without a ',', its first '.' turned into ','), so "0,25" and "0.25" both give 0.25 under
// either decimal separator of the run-time library. Empty text gives defaultValue; text without
// either separator gives at least -1.
double ParseReal(std::string_view text, double defaultValue);

}  // namespace qv
