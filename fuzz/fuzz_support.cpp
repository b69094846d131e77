#include "fuzz/fuzz_support.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/placeable.h"
#include "settings/aci_to_rgb.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"
#include "settings/setting_table.h"

namespace qv::fuzz {

void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz check failed: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

const WmfSettings& startSettings() {
    static const WmfSettings settings = [] {
        WmfSettings s;
        PaletteColorSource colors(s);
        resetColorDefaults(s, colors);
        ComputeEquals(s, colors);
        return s;
    }();
    return settings;
}

namespace {

std::int32_t drawInt(FuzzedDataProvider& in, const IntSettingInfo& info) {
    const AcceptedSet& a = info.accepted;
    switch (a.kind) {
    case AcceptedSet::Kind::Range:
        return in.ConsumeIntegralInRange<std::int32_t>(a.low, a.high);
    case AcceptedSet::Kind::List:
        return a.values[in.ConsumeIntegralInRange<size_t>(0, a.count - 1)];
    case AcceptedSet::Kind::Any:
        break;
    }
    // Small values mostly (colour indexes, palette numbers), anything now and then.
    if (in.ConsumeBool()) return in.ConsumeIntegralInRange<std::int32_t>(-2, 300);
    return in.ConsumeIntegral<std::int32_t>();
}

double drawReal(FuzzedDataProvider& in, const RealSettingInfo& info) {
    static constexpr double kPicks[] = {0.0,  1e-300, 1e-9, 0.001, 0.01, 0.5,   1.0,    2.54,
                                        25.4, 100.0,  1e3,  1e6,   1e9,  1e300, DBL_MAX};
    const size_t n = sizeof kPicks / sizeof kPicks[0];
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, n + 1);
    double v = info.defaultValue;
    if (pick < n) {
        v = kPicks[pick];
    } else if (pick == n) {
        v = in.ConsumeFloatingPointInRange<double>(0.0, 1000.0);
    }
    // What a settings load keeps: invalid values become the default.
    return validOrDefault(info, v);
}

}  // namespace

void drawSettings(FuzzedDataProvider& in, WmfSettings& settings) {
    for (const IntSettingInfo& info : intSettings()) settings.*info.member = drawInt(in, info);
    for (const RealSettingInfo& info : realSettings()) settings.*info.member = drawReal(in, info);
    // A few rows of the colour table changed.
    const int rows = in.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < rows; ++i) {
        ColorEntry& e = settings.Colors[in.ConsumeIntegralInRange<size_t>(1, kColorCount - 1)];
        e.Width = in.ConsumeBool() ? 0.0 : in.ConsumeFloatingPointInRange<double>(0.0, 50.0);
        e.LineColor = in.ConsumeIntegral<uint32_t>() & 0x00FFFFFF;
        e.FillColor = in.ConsumeIntegral<uint32_t>() & 0x00FFFFFF;
    }
}

mf::ByteSpan wmfPart(mf::ByteSpan file) {
    if (file.size() >= kPlaceableBytes && mf::rdU32(file.data()) == kPlaceableKey)
        return file.subspan(kPlaceableBytes);
    return file;
}

void requireWellFormed(const mf::Metafile& picture, const char* where, bool exactSize) {
    std::string error;
    if (!mf::parseMetafile(mf::ByteSpan(picture.bits()), &error)) fail(where, error);
    if (!exactSize) return;
    if (picture.bits().size() % 2 != 0) fail(where, "odd number of bytes");
    const mf::MetaHeader h = picture.header();
    if (size_t(h.sizeWords) * 2 != picture.bits().size())
        fail(where, "header size " + std::to_string(h.sizeWords) + " words, picture holds " +
                        std::to_string(picture.bits().size()) + " bytes");
}

}  // namespace qv::fuzz
