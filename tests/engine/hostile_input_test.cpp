// Hostile pictures taken the whole way a user takes one: loaded from a file
// and from the clipboard, measured, rendered at every rotation and improved
// into a new file. Each is either refused with a message that says why or
// comes out as a picture that other readers accept; none may crash, hang or
// take memory out of proportion to its size.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/metafile/records.h"
#include "engine/placeable.h"
#include "engine/render.h"
#include "picture_builder.h"
#include "support/test_support.h"

namespace qv {
namespace {

namespace rec = test::rec;
using mf::Bytes;
using mf::Fn;

constexpr uint16_t kLineX = 1234, kLineY = 2345;  // where the line after the hostile part ends

// The WMF bytes of a window, a line, the hostile records and a line after
// them. The header counts one object (the test builder would count the slots
// in use, in time that grows with the square of the objects).
Bytes withFrame(std::vector<Bytes> hostile, bool eof = true) {
    std::vector<Bytes> records{rec::setWindowExt(4000, 3000), rec::moveTo(10, 10),
                               rec::lineTo(3000, 2000)};
    for (Bytes& r : hostile) records.push_back(std::move(r));
    records.push_back(rec::lineTo(kLineX, kLineY));
    if (eof) records.push_back(mf::RecordBuilder(0).finish());
    mf::MetaHeader h;
    h.numObjects = 1;
    h.maxRecord = 3;
    size_t bytes = mf::MetaHeader::kBytes;
    for (const Bytes& r : records) {
        bytes += r.size();
        h.maxRecord = std::max<uint32_t>(h.maxRecord, uint32_t(r.size() / 2));
    }
    h.sizeWords = uint32_t(bytes / 2);
    Bytes out(mf::MetaHeader::kBytes);
    h.write(out.data());
    out.reserve(bytes);
    for (const Bytes& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
}

Bytes placeableOf(const Bytes& wmf) {
    return test::placeable(wmf, {0, 0, 4000, 3000, 1000});
}

std::vector<std::string> texts(const test::TestEngine& t) {
    std::vector<std::string> out;
    for (const auto& m : t.ui.messages) out.push_back(m.text);
    return out;
}

size_t countOf(const mf::Metafile& pic, Fn fn) {
    size_t n = 0;
    mf::forEachRecord(pic, [&](const mf::Record& r, size_t) { n += r.function() == uint16_t(fn); });
    return n;
}

// The WMF part of a written placeable file, as another reader would take it.
mf::MetafileHandle readBack(const std::filesystem::path& file, std::string* error) {
    Bytes b = test::readFile(file);
    if (b.size() < kPlaceableBytes) return nullptr;
    return mf::parseMetafile(mf::ByteSpan(b).subspan(kPlaceableBytes), error);
}

// ---- files too short to hold their headers ----

TEST(HostileStart, EveryFileCutInsideItsHeadersIsRefusedWithItsReason) {
    const Bytes wmf = withFrame({});
    const Bytes placeable = placeableOf(wmf);
    test::TempDir dir;
    for (bool placeableStart : {true, false}) {
        const Bytes& whole = placeableStart ? placeable : wmf;
        const size_t longest = placeableStart ? kPlaceableBytes + mf::MetaHeader::kBytes - 1 : 21;
        for (size_t n = 1; n <= longest; ++n) {
            SCOPED_TRACE(std::to_string(n) + (placeableStart ? " bytes of a placeable file"
                                                             : " bytes of a plain file"));
            const auto path = dir / "cut.wmf";
            test::writeFile(path, Bytes(whole.begin(), whole.begin() + ptrdiff_t(n)));
            std::vector<std::string> shown;
            std::string reason;
            if (n < 4) {
                shown = {"Not a Windows metafile: " + path.string()};
                reason = "not a Windows metafile";
            } else if (!placeableStart) {
                shown = {"Unsupported windows metafile format"};
                reason = "not a placeable Windows metafile";
            } else {
                reason = n < kPlaceableBytes ? "the placeable header is cut off"
                                             : "the metafile header is cut off";
            }

            test::TestEngine t;
            CMetafile pic;
            pic.LoadPlaceableFile(t.engine, path, 0);
            EXPECT_FALSE(pic.IsLoaded());
            EXPECT_EQ(pic.Handle, nullptr);
            EXPECT_EQ(pic.LoadError, reason);
            EXPECT_EQ(texts(t), shown);

            t.ui.messages.clear();
            const auto target = dir / "out.wmf";
            EXPECT_FALSE(ImproveFile(t.engine, path, target, 0));
            shown.push_back("Unable to open " + path.string() + ":\n" + reason);
            EXPECT_EQ(texts(t), shown);
            EXPECT_FALSE(std::filesystem::exists(target));
        }
    }
}

// ---- pictures that are refused ----

struct Refused {
    const char* name;
    std::function<Bytes()> file;  // the whole placeable file
    const char* fault;            // a part of the reason given
    bool damaged;                 // told at once as a damaged metafile
    bool onClipboardToo;          // the WMF bytes themselves are refused
};

void PrintTo(const Refused& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Refused> refused() {
    return {
        {"MetaHeaderTypeFFFF",
         [] {
             Bytes b = placeableOf(withFrame({}));
             mf::wrU16(&b[kPlaceableBytes], 0xFFFF);
             return b;
         },
         "type 65535", false, true},
        {"HeaderSizeFFFF",
         [] {
             Bytes b = placeableOf(withFrame({}));
             mf::wrU16(&b[kPlaceableBytes + 2], 0xFFFF);
             return b;
         },
         "header size is 65535", false, true},
        // Fewer words than the records hold: only what the size field counts is read.
        {"SizeFieldSmallerThanTheFile",
         [] {
             Bytes b = placeableOf(withFrame({}));
             mf::wrU32(&b[kPlaceableBytes + 6], 9 + 7);
             return b;
         },
         "is cut off", true, false},
        {"SizeFieldCountsTheHeaderOnly",
         [] {
             Bytes b = placeableOf(withFrame({}));
             mf::wrU32(&b[kPlaceableBytes + 6], 9);
             return b;
         },
         "without an end record", true, false},
    };
}

class RefusedPicture : public testing::TestWithParam<Refused> {};

TEST_P(RefusedPicture, IsRefusedOnEveryRoadWithItsReason) {
    const Refused& c = GetParam();
    const Bytes file = c.file();
    test::TempDir dir;
    const auto path = dir / "hostile.wmf";
    test::writeFile(path, file);

    test::TestEngine t;
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, path, 0);
    EXPECT_FALSE(pic.IsLoaded());
    EXPECT_NE(pic.LoadError.find(c.fault), std::string::npos) << pic.LoadError;
    std::vector<std::string> shown;
    if (c.damaged)
        shown.push_back("Damaged Windows metafile: " + path.string() + "\n" + pic.LoadError);
    EXPECT_EQ(texts(t), shown);

    t.ui.messages.clear();
    const auto target = dir / "out.wmf";
    EXPECT_FALSE(ImproveFile(t.engine, path, target, 0));
    shown.push_back("Unable to open " + path.string() + ":\n" + pic.LoadError);
    EXPECT_EQ(texts(t), shown);
    EXPECT_FALSE(std::filesystem::exists(target));

    // The same bytes offered on the clipboard make no picture, and no render.
    if (!c.onClipboardToo) return;  // a size field is read only from files
    mf::MetafileHandle bits = mf::SetMetaFileBitsEx(uint32_t(file.size() - kPlaceableBytes),
                                                    file.data() + kPlaceableBytes);
    EXPECT_EQ(bits, nullptr);
    t.ui.messages.clear();
    CMetafile clip;
    clip.LoadClipboardPicture(t.engine, {mf::MM_ANISOTROPIC, 1000, 1000, bits.get()}, 0, 0);
    EXPECT_FALSE(clip.IsLoaded());
    auto dc = mf::CreateMetaFileW();
    Size size = RenderPicture(t.engine, clip, *dc);
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(texts(t), std::vector<std::string>{"Metafile not properly loaded."});
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedPicture, testing::ValuesIn(refused()),
                         [](const testing::TestParamInfo<Refused>& i) {
                             return std::string(i.param.name);
                         });

// ---- pictures that load and render ----

struct Loads {
    const char* name;
    std::function<Bytes()> file;
};

void PrintTo(const Loads& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Bytes> repeated(size_t n, std::initializer_list<Bytes> records) {
    std::vector<Bytes> out;
    out.reserve(n * records.size());
    for (size_t i = 0; i < n; ++i)
        for (const Bytes& r : records) out.push_back(r);
    return out;
}

std::vector<Loads> loads() {
    return {
        {"SizeFieldAllOnes",
         [] {
             Bytes b = placeableOf(withFrame({}));
             mf::wrU32(&b[kPlaceableBytes + 6], 0xFFFFFFFF);
             return b;
         }},
        {"SelectAndDeleteOfEmptyAndOutOfRangeSlots",
         [] {
             return placeableOf(withFrame(
                 {rec::selectObject(0), rec::deleteObject(0), rec::selectObject(0xFFFF),
                  rec::deleteObject(0xFFFF), rec::createPen(0x0000FF), rec::selectObject(0),
                  rec::deleteObject(0), rec::deleteObject(0), rec::selectObject(0),
                  rec::selectObject(1), rec::deleteObject(40000), rec::selectObject(40000)}));
         }},
        {"AMillionNestedSaveDcAndRestoresFarBeyond",
         [] {
             std::vector<Bytes> r = repeated(1000000, {rec::saveDc()});
             r.push_back(rec::lineTo(500, 500));
             r.push_back(rec::restoreDc(-32768));
             r.push_back(rec::restoreDc(32767));
             r.push_back(rec::restoreDc(0));
             return placeableOf(withFrame(std::move(r)));
         }},
        {"AMillionRestoreDcWithoutSave",
         [] { return placeableOf(withFrame(repeated(1000000, {rec::restoreDc()}))); }},
        {"ObjectsNeverDeletedBeyondEverySlot",
         [] { return placeableOf(withFrame(repeated(70000, {rec::createPen(0x00FF00)}))); }},
        // Every pen selected: the output's own table fills too.
        {"ObjectsSelectedAndNeverDeleted",
         [] {
             std::vector<Bytes> r;
             for (uint32_t i = 0; i < 70000; ++i) {
                 r.push_back(rec::createPen(i & 0xFFFFFF));
                 r.push_back(rec::selectObject(uint16_t(i < 0x10000 ? i : 0xFFFF)));
             }
             return placeableOf(withFrame(std::move(r)));
         }},
        // One palette of 65535 colours selected over and over: the output does
        // not grow by the palette per selection.
        {"OneLargePaletteSelectedOverAndOver",
         [] {
             Bytes palette =
                 mf::RecordBuilder(uint16_t(Fn::CreatePalette)).u16(0x300).u16(0xFFFF).finish();
             palette.resize(palette.size() + 4 * 0xFFFF, 0);
             mf::wrU32(palette.data(), uint32_t(palette.size() / 2));
             std::vector<Bytes> r{palette};
             for (int i = 0; i < 20000; ++i)
                 r.push_back(mf::RecordBuilder(uint16_t(Fn::SelectPalette)).u16(0).finish());
             return placeableOf(withFrame(std::move(r)));
         }},
        // A pen deleted while selected stays in the output's table.
        {"PensDeletedWhileSelected",
         [] {
             return placeableOf(withFrame(repeated(
                 70000, {rec::createPen(0x0000FF), rec::selectObject(0), rec::deleteObject(0)})));
         }},
    };
}

// The output of every road is a picture that parses, and the line drawn
// after the hostile records is in it.
void expectSoundOutput(const mf::Metafile& out, size_t sourceBytes) {
    EXPECT_LT(out.bits().size(), 2 * sourceBytes + 1024) << "the output outgrew its source";
    std::string error;
    EXPECT_TRUE(mf::parseMetafile(out.bits(), &error)) << error;
    EXPECT_GE(countOf(out, Fn::LineTo), 2u) << "the render stopped early";
}

class LoadingPicture : public testing::TestWithParam<Loads> {};

TEST_P(LoadingPicture, LoadsRendersAtEveryRotationAndImproves) {
    const Bytes file = GetParam().file();
    test::TempDir dir;
    const auto path = dir / "hostile.wmf";
    test::writeFile(path, file);

    test::TestEngine t;
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, path, 0);
    ASSERT_TRUE(pic.IsLoaded()) << pic.LoadError;
    EXPECT_EQ(pic.WindowExt.cx, 4000);
    EXPECT_EQ(pic.Extent.right, 3000);
    for (int rotation : {0, 90, 180, 270}) {
        SCOPED_TRACE("turned " + std::to_string(rotation));
        t.settings.Rotation = rotation;
        Size size;
        mf::MetafileHandle out = test::renderToPicture(t.engine, pic, &size);
        EXPECT_GT(size.cx, 0);
        EXPECT_GT(size.cy, 0);
        expectSoundOutput(*out, file.size());
    }

    t.settings.Rotation = 90;
    const auto target = dir / "out.wmf";
    ASSERT_TRUE(ImproveFile(t.engine, path, target, 0));
    std::string error;
    mf::MetafileHandle written = readBack(target, &error);
    ASSERT_TRUE(written) << error;
    expectSoundOutput(*written, file.size());

    mf::MetafileHandle bits = mf::SetMetaFileBitsEx(uint32_t(file.size() - kPlaceableBytes),
                                                    file.data() + kPlaceableBytes);
    ASSERT_TRUE(bits);
    CMetafile clip;
    clip.LoadClipboardPicture(t.engine, {mf::MM_ANISOTROPIC, 10160, 7620, bits.get()}, 0, 0);
    ASSERT_TRUE(clip.IsLoaded());
    expectSoundOutput(*test::renderToPicture(t.engine, clip), file.size());
    EXPECT_TRUE(t.ui.messages.empty()) << t.ui.messages.front().text;
}

INSTANTIATE_TEST_SUITE_P(Table, LoadingPicture, testing::ValuesIn(loads()),
                         [](const testing::TestParamInfo<Loads>& i) {
                             return std::string(i.param.name);
                         });

// ---- a bitmap stored top-down ----

// A 24-bit bitmap whose pixel (x, y), counted from the top left, is (x, y, x ^ y).
Bytes visualDib(int32_t width, int32_t height, bool topDown) {
    const uint32_t stride = (uint32_t(width) * 24 + 31) / 32 * 4;
    Bytes b;
    mf::putU32(b, 40);
    mf::putU32(b, uint32_t(width));
    mf::putU32(b, uint32_t(topDown ? -height : height));
    mf::putU16(b, 1);
    mf::putU16(b, 24);
    b.resize(40 + stride * uint32_t(height), 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t row = uint32_t(topDown ? y : height - 1 - y);
            uint8_t* p = &b[40 + row * stride + uint32_t(x) * 3];
            p[0] = uint8_t(x);
            p[1] = uint8_t(y);
            p[2] = uint8_t(x ^ y);
        }
    return b;
}

// The pixels of the bitmap of a STRETCHDIB record, row by row from the top.
std::vector<Bytes> visualRows(const Bytes& record, int32_t* width) {
    mf::ByteSpan dib = mf::ByteSpan(record).subspan(6 + 22);
    *width = int32_t(mf::getU32(dib, 4));
    const int32_t h = int32_t(mf::getU32(dib, 8));
    const int32_t rows = h < 0 ? -h : h;
    const uint32_t stride = (uint32_t(*width) * 24 + 31) / 32 * 4;
    std::vector<Bytes> out;
    for (int32_t y = 0; y < rows; ++y) {
        const uint32_t row = uint32_t(h < 0 ? y : rows - 1 - y);
        mf::ByteSpan r = dib.subspan(40 + row * stride, uint32_t(*width) * 3);
        out.emplace_back(r.begin(), r.end());
    }
    return out;
}

TEST(HostileBitmap, ATopDownBitmapIsTurnedAsTheSameBitmapStoredBottomUp) {
    for (int rotation : {90, 180, 270}) {
        SCOPED_TRACE("turned " + std::to_string(rotation));
        std::vector<std::vector<Bytes>> seen;
        for (bool topDown : {true, false}) {
            test::TestEngine t;
            t.settings.Rotation = rotation;
            CMetafile pic;
            test::loadPlaceableBytes(t.engine, pic,
                                     placeableOf(withFrame({rec::stretchDibOf(
                                         100, 200, 700, 300, visualDib(7, 3, topDown))})));
            ASSERT_TRUE(pic.IsLoaded()) << pic.LoadError;
            EXPECT_EQ(pic.Extent.left, 10);
            mf::MetafileHandle out = test::renderToPicture(t.engine, pic);
            EXPECT_EQ(t.engine.state.Stats.BitmapsTurned, 1);
            for (const Bytes& r : test::recordsOf(*out)) {
                if (test::functionOf(r) != uint16_t(Fn::StretchDib)) continue;
                int32_t width = 0;
                seen.push_back(visualRows(r, &width));
                EXPECT_EQ(width, rotation == 180 ? 7 : 3);
                EXPECT_EQ(mf::getU32(r, 6 + 22 + 8) >> 31, topDown ? 1u : 0u)
                    << "row order changed";
            }
        }
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0], seen[1]);
    }
}

// ---- memory and time in proportion to the picture ----

struct Peak {
    bool ok = false;
    long startKb = 0;  // resident size of the child when it began
    long peakKb = 0;
};

// Runs `job` in a child process and reports its peak resident size.
Peak peakOf(const std::function<bool()>& job) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        long v[3] = {0, ru.ru_maxrss, 0};
        v[0] = job() ? 1 : 0;
        getrusage(RUSAGE_SELF, &ru);
        v[2] = ru.ru_maxrss;
        ssize_t w = write(fds[1], v, sizeof v);
        _exit(w == ssize_t(sizeof v) ? 0 : 1);
    }
    close(fds[1]);
    long v[3] = {};
    ssize_t got = read(fds[0], v, sizeof v);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != ssize_t(sizeof v) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return {v[0] == 1, v[1], v[2]};
}

// Writes a placeable file of `blocks` copies of `block` after a window, a
// pen and a line, without holding it all in memory.
uintmax_t writeBigFile(const std::filesystem::path& path, const Bytes& block, size_t blocks) {
    const Bytes head = withFrame({rec::createPen(0xFF), rec::selectObject(0)}, false);
    const Bytes eof = mf::RecordBuilder(0).finish();
    const uint64_t bytes = head.size() + uint64_t(block.size()) * blocks + eof.size();
    Bytes header = head;
    mf::wrU32(&header[6], uint32_t(bytes / 2));
    mf::wrU32(&header[12], std::max<uint32_t>(mf::getU32(header, 12), uint32_t(block.size() / 2)));
    const Bytes file = placeableOf(header);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    Bytes chunk;
    const size_t perChunk = std::max<size_t>(1, (size_t(1) << 20) / block.size());
    for (size_t i = 0; i < perChunk; ++i) chunk.insert(chunk.end(), block.begin(), block.end());
    for (size_t done = 0; done < blocks; done += perChunk) {
        const size_t n = std::min(perChunk, blocks - done);
        out.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(n * block.size()));
    }
    out.write(reinterpret_cast<const char*>(eof.data()), std::streamsize(eof.size()));
    out.close();
    return std::filesystem::file_size(path);
}

// The resident memory a job may add: a few times the file (it is read,
// walked and written once each) and a constant. The address sanitizer keeps
// freed memory in quarantine (256 MB by default) and adds its shadow.
constexpr long kBytesPerFileByte = 3;
#if defined(__SANITIZE_ADDRESS__)
constexpr long kBaseKb = 512 * 1024;
#else
constexpr long kBaseKb = 64 * 1024;
#endif

void improveInChild(const std::filesystem::path& source, const std::filesystem::path& target,
                    uintmax_t size, const char* what) {
    Peak p = peakOf([&] {
        test::TestEngine t;
        t.settings.Rotation = 90;
        return ImproveFile(t.engine, source, target, 0) && t.ui.messages.empty();
    });
    ASSERT_TRUE(p.ok) << "the picture was not improved";
    const long grownKb = p.peakKb - p.startKb;
    std::printf("%s: file %.1f MB, resident at start %.1f MB, peak %.1f MB (grown %.1f MB)\n", what,
                double(size) / 1e6, p.startKb / 1024.0, p.peakKb / 1024.0, grownKb / 1024.0);
    EXPECT_LT(grownKb, kBytesPerFileByte * long(size / 1024) + kBaseKb);
}

TEST(HostileSize, AMillionObjectsNeverDeletedTakeMemoryInProportionToTheFile) {
    test::TempDir dir;
    const auto source = dir / "objects.wmf";
    const uintmax_t size = writeBigFile(source, rec::createPen(0x00FF00), 1000000);
    improveInChild(source, dir / "out.wmf", size, "a million CREATEPENINDIRECT");
    std::string error;
    mf::MetafileHandle out = readBack(dir / "out.wmf", &error);
    ASSERT_TRUE(out) << error;
    EXPECT_EQ(countOf(*out, Fn::CreatePenIndirect), 1u) << "only the selected pen is written";
}

// 200 MB of lines, turned: read, walked twice and written in a few seconds
// (about half a minute under the sanitizers).
TEST(HostileSize, A200MegabytePictureIsImproved) {
    test::TempDir dir;
    std::vector<test::Pt> points;
    for (int i = 0; i < 1000; ++i) points.push_back({int16_t(i * 3), int16_t((i * 7) % 2900)});
    Bytes block = rec::polyline(points);
    const Bytes lines = [] {
        Bytes b = rec::moveTo(100, 200);
        Bytes l = rec::lineTo(300, 400);
        b.insert(b.end(), l.begin(), l.end());
        return b;
    }();
    for (int i = 0; i < 20; ++i) block.insert(block.end(), lines.begin(), lines.end());
    const size_t blocks = (size_t(200) << 20) / block.size() + 1;
    const auto source = dir / "huge.wmf";
    const uintmax_t size = writeBigFile(source, block, blocks);
    ASSERT_GE(size, uintmax_t(200) << 20);
    improveInChild(source, dir / "out.wmf", size, "200 MB of lines");

    std::string error;
    mf::MetafileHandle out = readBack(dir / "out.wmf", &error);
    ASSERT_TRUE(out) << error;
    EXPECT_EQ(countOf(*out, Fn::Polyline), blocks);
    EXPECT_EQ(countOf(*out, Fn::LineTo), blocks * 20 + 2);
}

}  // namespace
}  // namespace qv
