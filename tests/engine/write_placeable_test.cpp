// Writing a picture handle out as a placeable WMF file.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/extent_pass.h"
#include "engine/placeable.h"
#include "picture_builder.h"
#include "support/test_support.h"

namespace qv {
namespace {

namespace rec = test::rec;

mf::MetafileHandle drawing() {
    return test::PictureBuilder{rec::setWindowExt(4000, 3000), rec::createPen(0xFF00FF),
                                rec::selectObject(0),          rec::moveTo(100, 150),
                                rec::lineTo(3900, 2800),       rec::ellipse(500, 600, 700, 800)}
        .picture();
}

std::set<std::string> listing(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

class WritePlaceableTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::TestEngine t;
};

TEST(PlaceableChecksum, IsTheXorOfTheTenWordsBeforeIt) {
    PlaceableHeader h;
    EXPECT_EQ(PlaceableChecksum(h), 0x5711);  // 0xCDD7 ^ 0x9AC6
    h.right = 0x0100;
    h.bottom = 0x0080;
    h.inch = 1440;  // 0x05A0
    EXPECT_EQ(PlaceableChecksum(h), 0x5331);
    h.left = -1;
    h.reserved = 0x00010002;
    EXPECT_EQ(PlaceableChecksum(h), 0x5331 ^ 0xFFFF ^ 0x0001 ^ 0x0002);
    h.checksum = 0x7777;  // the checksum itself is not part of the sum
    EXPECT_EQ(PlaceableChecksum(h), 0x5331 ^ 0xFFFF ^ 0x0001 ^ 0x0002);
}

struct ScaleCase {
    double scale;
    uint16_t inch;
};

TEST_F(WritePlaceableTest, TheHeaderCarriesSizeScaleAndChecksum) {
    const std::vector<ScaleCase> cases = {
        {1440.0, 1440}, {1440.9, 1440}, {70000.7, 4464}, {65536.0, 0}, {65535.99, 65535}, {0.99, 0},
    };
    for (const ScaleCase& c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        mf::MetafileHandle h = drawing();
        ASSERT_NE(h, nullptr);
        const mf::Bytes bits = h->bits();
        const auto path = dir / "out.wmf";
        ASSERT_EQ(WritePlaceableFile(t.engine, h, {4000, 3000}, c.scale, path), 1);
        EXPECT_NE(h, nullptr) << "the caller still owns the handle";
        EXPECT_TRUE(t.ui.messages.empty());

        const mf::Bytes file = test::readFile(path);
        ASSERT_EQ(file.size(), 22 + bits.size());
        EXPECT_EQ(mf::rdU32(&file[0]), 0x9AC6CDD7u);
        EXPECT_EQ(mf::rdU16(&file[4]), 0);
        EXPECT_EQ(mf::rdI16(&file[6]), 0);
        EXPECT_EQ(mf::rdI16(&file[8]), 0);
        EXPECT_EQ(mf::rdI16(&file[10]), 4000);
        EXPECT_EQ(mf::rdI16(&file[12]), 3000);
        EXPECT_EQ(mf::rdU16(&file[14]), c.inch);
        EXPECT_EQ(mf::rdU32(&file[16]), 0u);
        EXPECT_EQ(mf::rdU16(&file[20]), test::xorOfFirstTenWords(file));
        EXPECT_EQ(mf::Bytes(file.begin() + 22, file.end()), bits);
    }
}

TEST_F(WritePlaceableTest, AWrittenFileLoadsBackAsTheSamePicture) {
    mf::MetafileHandle h = drawing();
    ASSERT_NE(h, nullptr);
    const auto path = dir / "round.wmf";
    // An older, longer file of the same name is replaced whole.
    test::writeFile(path, mf::Bytes(5000, 0xEE));
    ASSERT_EQ(WritePlaceableFile(t.engine, h, {4000, 3000}, 1000.0, path), 1);

    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, path, 0);
    EXPECT_TRUE(t.ui.messages.empty());
    ASSERT_TRUE(pic.IsLoaded()) << pic.LoadError;
    ASSERT_NE(pic.Handle, nullptr);
    EXPECT_EQ(pic.Handle->bits(), h->bits());
    EXPECT_EQ(pic.Handle->recordCount(), h->recordCount());
    EXPECT_EQ(pic.Frame, (Rect{0, 0, 4000, 3000}));
    EXPECT_EQ(pic.UnitsPerInch, 1000.0);
    EXPECT_EQ(pic.WindowExt, (Size{4000, 3000}));
    EXPECT_EQ(pic.Extent, (Rect{100, 150, 3900, 2800}));
}

TEST_F(WritePlaceableTest, AMissingFolderFailsQuietlyAndReleasesTheHandle) {
    mf::MetafileHandle h = drawing();
    ASSERT_NE(h, nullptr);
    const auto before = listing(dir.path());
    errno = 0;
    EXPECT_EQ(WritePlaceableFile(t.engine, h, {4000, 3000}, 1000.0, dir / "no" / "out.wmf"), 0);
    EXPECT_NE(errno, 0);
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_EQ(listing(dir.path()), before);
}

TEST_F(WritePlaceableTest, AFolderInTheWayIsLeftAsItWas) {
    mf::MetafileHandle h = drawing();
    ASSERT_NE(h, nullptr);
    const auto target = dir / "out.wmf";
    std::filesystem::create_directory(target);
    test::writeFile(target / "inside.txt", {'k', 'e', 'e', 'p'});
    const auto before = listing(dir.path());
    errno = 0;
    EXPECT_EQ(WritePlaceableFile(t.engine, h, {4000, 3000}, 1000.0, target), 0);
    EXPECT_NE(errno, 0);
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_EQ(listing(dir.path()), before);
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(listing(target), std::set<std::string>{"inside.txt"});
    EXPECT_EQ(test::readFile(target / "inside.txt"), (mf::Bytes{'k', 'e', 'e', 'p'}));
}

// Lets no file grow past `bytes` while it lives; writing more fails with EFBIG.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool ok() const { return ok_; }

  private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
    bool ok_ = false;
};

TEST_F(WritePlaceableTest, AWriteThatFailsHalfWayLeavesTheOldFile) {
    mf::MetafileHandle h = drawing();
    ASSERT_NE(h, nullptr);
    ASSERT_GT(h->bits().size(), 40u);
    const auto target = dir / "out.wmf";
    const mf::Bytes old(100, 0x5A);
    test::writeFile(target, old);
    const auto before = listing(dir.path());
    int result = -1;
    int error = 0;
    {
        FileSizeLimit limit(40);  // the header and a part of the picture
        ASSERT_TRUE(limit.ok());
        errno = 0;
        result = WritePlaceableFile(t.engine, h, {4000, 3000}, 1000.0, target);
        error = errno;
    }
    EXPECT_EQ(result, 0);
    EXPECT_NE(error, 0);
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_EQ(listing(dir.path()), before);
    EXPECT_EQ(test::readFile(target), old);
}

TEST_F(WritePlaceableTest, NoPictureGivesItsOwnMessage) {
    mf::MetafileHandle none;
    const auto path = dir / "out.wmf";
    EXPECT_EQ(WritePlaceableFile(t.engine, none, {4000, 3000}, 1000.0, path), 0);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].text, "Failed to Get MetaFile Bits Size");
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace qv
