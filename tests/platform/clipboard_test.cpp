#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/metafile/bytes.h"
#include "engine/metafile/metafile.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// A small picture: SETMAPMODE(MM_ANISOTROPIC) then EOF.
mf::Bytes pictureBits() {
    mf::Bytes b(mf::MetaHeader::kBytes);
    mf::MetaHeader h;
    h.sizeWords = 9 + 4 + 3;
    h.maxRecord = 4;
    h.write(b.data());
    mf::putU32(b, 4);
    mf::putU16(b, 0x0103);
    mf::putU16(b, 8);
    mf::putU32(b, 3);
    mf::putU16(b, 0);
    return b;
}

mf::MetafileHandle picture() {
    std::string error;
    mf::MetafileHandle p = mf::parseMetafile(pictureBits(), &error);
    EXPECT_TRUE(p) << error;
    return p;
}

GlobalHandle textBlock(const std::string& text) {
    GlobalHandle b = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(b->lock(), text.c_str(), text.size() + 1);
    b->unlock();
    return b;
}

std::string textOf(GlobalBlock* b) {
    if (!b) return "(none)";
    std::string s(static_cast<const char*>(b->lock()));
    b->unlock();
    return s;
}

std::vector<uint32_t> formatsOf(Clipboard& cb) {
    std::vector<uint32_t> out;
    for (uint32_t f = cb.EnumClipboardFormats(0); f != 0; f = cb.EnumClipboardFormats(f))
        out.push_back(f);
    return out;
}

// Windows of a fake desktop. Each is a clipboard viewer that keeps its
// successor and passes the chain's messages on the way viewers must.
class FakeDesktop : public ClipboardMessageSink {
public:
    struct Viewer {
        WindowId next = 0;
        std::function<void()> onDraw;
    };

    explicit FakeDesktop(Clipboard& cb) : cb_(cb) { cb_.setMessageSink(this); }
    ~FakeDesktop() override { cb_.setMessageSink(nullptr); }

    void join(WindowId w) {
        viewers[w];
        viewers[w].next = cb_.SetClipboardViewer(w);
    }
    void leave(WindowId w) {
        ASSERT_TRUE(cb_.ChangeClipboardChain(w, viewers[w].next));
        viewers.erase(w);
    }

    void onClipboardMessage(WindowId to, uint32_t msg, uint64_t wParam, int64_t lParam) override {
        auto it = viewers.find(to);
        if (it == viewers.end()) {
            log.push_back(std::to_string(to) + ":gone");
            return;
        }
        Viewer& v = it->second;
        if (msg == WM_DRAWCLIPBOARD) {
            log.push_back(std::to_string(to) + ":draw");
            if (v.onDraw) v.onDraw();
            if (v.next) onClipboardMessage(v.next, msg, wParam, lParam);
        } else if (msg == WM_CHANGECBCHAIN) {
            log.push_back(std::to_string(to) + ":chain(" + std::to_string(wParam) + "," +
                          std::to_string(lParam) + ")");
            if (WindowId(wParam) == v.next)
                v.next = WindowId(lParam);
            else if (v.next)
                onClipboardMessage(v.next, msg, wParam, lParam);
        } else {
            log.push_back(std::to_string(to) + ":other");
        }
    }

    std::map<WindowId, Viewer> viewers;
    std::vector<std::string> log;

private:
    Clipboard& cb_;
};

// ---- formats --------------------------------------------------------------

TEST(ClipboardFormats, PredefinedFormatsKeepTheirNumbersAndHaveNoName) {
    struct Case {
        uint32_t format;
        uint32_t number;
    };
    const Case cases[] = {{CF_TEXT, 1},
                          {CF_BITMAP, 2},
                          {CF_METAFILEPICT, 3},
                          {CF_OEMTEXT, 7},
                          {CF_DIB, 8},
                          {CF_PALETTE, 9},
                          {CF_UNICODETEXT, 13},
                          {CF_ENHMETAFILE, 14},
                          {CF_HDROP, 15},
                          {CF_LOCALE, 16},
                          {CF_DIBV5, 17},
                          {CF_OWNERDISPLAY, 0x80},
                          {CF_DSPENHMETAFILE, 0x8E},
                          {CF_PRIVATEFIRST, 0x200},
                          {CF_GDIOBJLAST, 0x3FF}};
    Clipboard cb;
    cb.RegisterClipboardFormatW("Something");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(c.format, c.number);
        std::string name = "untouched";
        EXPECT_EQ(cb.GetClipboardFormatNameW(c.format, name, 80), 0);
        EXPECT_EQ(name, "untouched");
    }
}

TEST(ClipboardFormats, RegisteredNamesShareAnIdWithoutRegardToCase) {
    Clipboard cb;
    uint32_t acad = cb.RegisterClipboardFormatW("AutoCAD.r15");
    uint32_t other = cb.RegisterClipboardFormatW("Rich Text Format");
    EXPECT_GE(acad, kFirstRegisteredFormat);
    EXPECT_GE(other, kFirstRegisteredFormat);
    EXPECT_NE(acad, other);
    EXPECT_EQ(cb.RegisterClipboardFormatW("autocad.R15"), acad);
    EXPECT_EQ(cb.RegisterClipboardFormatW("AUTOCAD.R15"), acad);
    EXPECT_NE(cb.RegisterClipboardFormatW("AutoCAD.r16"), acad);

    std::string name;
    EXPECT_EQ(cb.GetClipboardFormatNameW(acad, name, 80), 11);
    EXPECT_EQ(name, "AutoCAD.r15");  // the first spelling stays
}

TEST(ClipboardFormats, NamesAreCutToTheBufferLength) {
    struct Case {
        int maxCount;
        int copied;
        std::string name;
    };
    const Case cases[] = {
        {80, 16, "Autosketch Image"},
        {17, 16, "Autosketch Image"},
        {16, 15, "Autosketch Imag"},
        {11, 10, "Autosketch"},
        {2, 1, "A"},
        {1, 0, ""},
    };
    Clipboard cb;
    uint32_t f = cb.RegisterClipboardFormatW("Autosketch Image");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxCount);
        std::string name = "x";
        EXPECT_EQ(cb.GetClipboardFormatNameW(f, name, c.maxCount), c.copied);
        EXPECT_EQ(name, c.name);
    }
}

TEST(ClipboardFormats, NamesAreCutBetweenCharactersNotBytes) {
    Clipboard cb;
    uint32_t f = cb.RegisterClipboardFormatW(
        "Zeichnung \xC3\xBC"
        "ber");
    std::string name;
    EXPECT_EQ(cb.GetClipboardFormatNameW(f, name, 12), 11);
    EXPECT_EQ(name, "Zeichnung \xC3\xBC");
}

TEST(ClipboardFormats, UnknownIdsAndEmptyNamesFail) {
    Clipboard cb;
    std::string name;
    errno = 0;
    EXPECT_EQ(cb.RegisterClipboardFormatW(""), 0u);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(cb.GetClipboardFormatNameW(kFirstRegisteredFormat, name, 80), 0);
    uint32_t f = cb.RegisterClipboardFormatW("Embed Source");
    EXPECT_EQ(cb.GetClipboardFormatNameW(f + 1, name, 80), 0);
    EXPECT_EQ(cb.GetClipboardFormatNameW(f, name, 0), 0);
}

TEST(ClipboardFormats, EachClipboardHasItsOwnNames) {
    Clipboard one;
    Clipboard two;
    uint32_t f = one.RegisterClipboardFormatW("AutoCAD.r15");
    std::string name;
    EXPECT_EQ(two.GetClipboardFormatNameW(f, name, 80), 0);
    two.RegisterClipboardFormatW("Link");
    EXPECT_EQ(one.GetClipboardFormatNameW(f, name, 80), 11);
    EXPECT_EQ(name, "AutoCAD.r15");
}

// ---- memory blocks --------------------------------------------------------

TEST(ClipboardBlocks, BlocksStartZeroedAndCountTheirLocks) {
    GlobalHandle b = GlobalAlloc(GMEM_DDESHARE | GMEM_MOVEABLE, 24);
    EXPECT_EQ(b->flags(), GMEM_DDESHARE | GMEM_MOVEABLE);
    EXPECT_EQ(b->size(), 24u);
    auto* bytes = static_cast<const unsigned char*>(b->lock());
    ASSERT_NE(bytes, nullptr);
    for (size_t i = 0; i < 24; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(b->lock(), bytes);
    EXPECT_EQ(b->lockCount(), 2u);
    EXPECT_TRUE(b->unlock());
    EXPECT_FALSE(b->unlock());
    EXPECT_FALSE(b->unlock());  // never below zero
    EXPECT_EQ(b->lockCount(), 0u);
}

TEST(ClipboardBlocks, TypedLocksRefuseBlocksThatAreTooSmall) {
    GlobalHandle small = GlobalAlloc(GHND, sizeof(mf::METAFILEPICT) - 1);
    EXPECT_EQ(small->lockAs<mf::METAFILEPICT>(), nullptr);
    EXPECT_EQ(small->lockCount(), 0u);
    GlobalHandle empty = GlobalAlloc(GHND, 0);
    EXPECT_EQ(empty->lock(), nullptr);
    EXPECT_EQ(empty->lockCount(), 0u);
}

// ---- open, empty, set, get ------------------------------------------------

TEST(ClipboardExchange, AnotherWindowCannotOpenWhatOneHoldsOpen) {
    Clipboard cb;
    ASSERT_TRUE(cb.OpenClipboard(1));
    EXPECT_TRUE(cb.OpenClipboard(1));  // the holder itself may
    errno = 0;
    EXPECT_FALSE(cb.OpenClipboard(2));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(SystemErrorText(), std::strerror(EBUSY));
    EXPECT_EQ(cb.GetOpenClipboardWindow(), 1u);
    ASSERT_TRUE(cb.CloseClipboard());  // one close undoes both opens
    EXPECT_EQ(cb.GetOpenClipboardWindow(), 0u);
    EXPECT_TRUE(cb.OpenClipboard(2));
    EXPECT_EQ(cb.GetOpenClipboardWindow(), 2u);
}

TEST(ClipboardExchange, CallsThatNeedTheClipboardOpenFailWithoutIt) {
    struct Case {
        const char* call;
        std::function<bool(Clipboard&)> run;  // true when the call succeeded
    };
    const Case cases[] = {
        {"CloseClipboard", [](Clipboard& cb) { return cb.CloseClipboard(); }},
        {"EmptyClipboard", [](Clipboard& cb) { return cb.EmptyClipboard(); }},
        {"SetClipboardData",
         [](Clipboard& cb) { return cb.SetClipboardData(CF_DIB, textBlock("x")); }},
        {"GetClipboardData", [](Clipboard& cb) { return cb.GetClipboardData(CF_TEXT) != nullptr; }},
        {"EnumClipboardFormats", [](Clipboard& cb) { return cb.EnumClipboardFormats(0) != 0; }},
    };
    Clipboard cb;
    ASSERT_TRUE(cb.OpenClipboard(1));
    ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock("kept")));
    ASSERT_TRUE(cb.CloseClipboard());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        errno = 0;
        EXPECT_FALSE(c.run(cb));
        EXPECT_EQ(errno, EACCES);
    }
    EXPECT_EQ(cb.CountClipboardFormats(), 1);  // these two need no open clipboard
    EXPECT_TRUE(cb.IsClipboardFormatAvailable(CF_TEXT));
}

TEST(ClipboardExchange, FormatsAreListedInTheOrderTheyWereSet) {
    Clipboard cb;
    uint32_t acad = cb.RegisterClipboardFormatW("AutoCAD.r15");
    ASSERT_TRUE(cb.OpenClipboard(1));
    ASSERT_TRUE(cb.EmptyClipboard());
    ASSERT_TRUE(cb.SetClipboardData(acad, textBlock("native")));
    ASSERT_TRUE(cb.SetClipboardData(CF_METAFILEPICT, nullptr));
    ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock("first")));
    ASSERT_TRUE(cb.SetClipboardData(CF_ENHMETAFILE, textBlock("emf")));
    ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock("second")));  // replaced in place
    EXPECT_EQ(formatsOf(cb),
              (std::vector<uint32_t>{acad, CF_METAFILEPICT, CF_TEXT, CF_ENHMETAFILE}));
    EXPECT_EQ(errno, 0);                             // the end of the list is no error
    EXPECT_EQ(cb.EnumClipboardFormats(CF_DIB), 0u);  // not on the clipboard
    EXPECT_EQ(textOf(cb.GetClipboardData(CF_TEXT)), "second");
    EXPECT_EQ(textOf(cb.GetClipboardData(acad)), "native");
    errno = 0;
    EXPECT_EQ(cb.GetClipboardData(CF_METAFILEPICT), nullptr);  // listed without data
    EXPECT_EQ(errno, ENODATA);
    EXPECT_EQ(cb.GetClipboardData(CF_DIB), nullptr);
    ASSERT_TRUE(cb.CloseClipboard());

    EXPECT_EQ(cb.CountClipboardFormats(), 4);
    EXPECT_TRUE(cb.IsClipboardFormatAvailable(CF_METAFILEPICT));
    EXPECT_FALSE(cb.IsClipboardFormatAvailable(CF_DIB));
    EXPECT_FALSE(cb.IsClipboardFormatAvailable(0));
}

TEST(ClipboardExchange, EmptyingClearsEverythingAndMakesTheOpenerTheOwner) {
    Clipboard cb;
    ASSERT_TRUE(cb.OpenClipboard(1));
    ASSERT_TRUE(cb.EmptyClipboard());
    ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock("one")));
    ASSERT_TRUE(cb.SetClipboardData(CF_DIB, textBlock("two")));
    ASSERT_TRUE(cb.CloseClipboard());
    uint32_t before = cb.GetClipboardSequenceNumber();

    ASSERT_TRUE(cb.OpenClipboard(5));
    EXPECT_EQ(formatsOf(cb), (std::vector<uint32_t>{CF_TEXT, CF_DIB}));
    EXPECT_EQ(cb.GetClipboardOwner(), 1u);
    ASSERT_TRUE(cb.EmptyClipboard());
    EXPECT_EQ(cb.GetClipboardOwner(), 5u);
    EXPECT_EQ(cb.CountClipboardFormats(), 0);
    EXPECT_EQ(cb.EnumClipboardFormats(0), 0u);
    ASSERT_TRUE(cb.SetClipboardData(CF_DIB, textBlock("three")));
    ASSERT_TRUE(cb.CloseClipboard());
    EXPECT_EQ(cb.GetClipboardSequenceNumber(), before + 2);
    EXPECT_EQ(cb.CountClipboardFormats(), 1);
}

TEST(ClipboardExchange, SetDataRejectsFormatZero) {
    Clipboard cb;
    ASSERT_TRUE(cb.OpenClipboard(1));
    GlobalHandle b = textBlock("x");
    errno = 0;
    EXPECT_FALSE(cb.SetClipboardData(0, std::move(b)));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_TRUE(b);  // still the caller's
    EXPECT_EQ(cb.CountClipboardFormats(), 0);
}

// ---- the METAFILEPICT -----------------------------------------------------

TEST(ClipboardMetafilePict, ThePictureOutlivesTheWritersHandle) {
    Clipboard cb;
    {
        mf::MetafileHandle written = picture();
        ASSERT_TRUE(written);
        mf::METAFILEPICT pict;
        pict.mm = mf::MM_ANISOTROPIC;
        pict.xExt = 10000;
        pict.yExt = 7500;
        GlobalHandle block = makeMetafilePictBlock(GMEM_DDESHARE | GMEM_ZEROINIT | GMEM_MOVEABLE,
                                                   pict, std::move(written));
        EXPECT_EQ(block->lockCount(), 0u);
        ASSERT_TRUE(cb.OpenClipboard(1));
        ASSERT_TRUE(cb.EmptyClipboard());
        ASSERT_TRUE(cb.SetClipboardData(CF_METAFILEPICT, std::move(block)));
        ASSERT_TRUE(cb.CloseClipboard());
    }  // nothing of the writer's is left

    ASSERT_TRUE(cb.OpenClipboard(2));
    GlobalBlock* data = cb.GetClipboardData(CF_METAFILEPICT);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->flags(), GMEM_DDESHARE | GMEM_ZEROINIT | GMEM_MOVEABLE);
    const auto* got = data->lockAs<mf::METAFILEPICT>();
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->mm, mf::MM_ANISOTROPIC);
    EXPECT_EQ(got->xExt, 10000);
    EXPECT_EQ(got->yExt, 7500);
    ASSERT_NE(got->hMF, nullptr);
    mf::MetafileHandle copy = mf::CopyMetaFileW(got->hMF);
    data->unlock();
    ASSERT_TRUE(cb.EmptyClipboard());  // the clipboard's picture goes with its block
    ASSERT_TRUE(cb.CloseClipboard());

    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->bits(), pictureBits());
    EXPECT_EQ(copy->recordCount(), 1u);
}

TEST(ClipboardMetafilePict, BlocksThatCannotKeepTheirPictureAreRefused) {
    mf::MetafileHandle foreign = picture();
    struct Case {
        const char* what;
        std::function<GlobalHandle()> make;
        bool accepted;
    };
    const Case cases[] = {
        {"own picture", [] { return makeMetafilePictBlock(GHND, mf::METAFILEPICT{}, picture()); },
         true},
        {"no picture", [] { return GlobalAlloc(GHND, sizeof(mf::METAFILEPICT)); }, true},
        {"someone else's picture",
         [&foreign] {
             GlobalHandle b = GlobalAlloc(GHND, sizeof(mf::METAFILEPICT));
             b->lockAs<mf::METAFILEPICT>()->hMF = foreign.get();
             b->unlock();
             return b;
         },
         false},
        {"too small", [] { return GlobalAlloc(GHND, 8); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clipboard cb;
        ASSERT_TRUE(cb.OpenClipboard(1));
        GlobalHandle block = c.make();
        errno = 0;
        EXPECT_EQ(cb.SetClipboardData(CF_METAFILEPICT, std::move(block)), c.accepted);
        EXPECT_EQ(cb.IsClipboardFormatAvailable(CF_METAFILEPICT), c.accepted);
        EXPECT_EQ(bool(block), !c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(errno, EINVAL);
        }
    }
}

// ---- the viewer chain -----------------------------------------------------

class ClipboardViewerChain : public ::testing::Test {
protected:
    // Window 9 writes one text.
    void write(const std::string& text) {
        ASSERT_TRUE(cb.OpenClipboard(9));
        ASSERT_TRUE(cb.EmptyClipboard());
        ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock(text)));
        ASSERT_TRUE(cb.CloseClipboard());
    }

    Clipboard cb;
    FakeDesktop desktop{cb};
};

TEST_F(ClipboardViewerChain, JoiningReturnsThePreviousViewerAndDrawsTheNewOne) {
    EXPECT_EQ(cb.SetClipboardViewer(1), 0u);
    desktop.viewers[1];  // window 1 existed before it joined
    desktop.log.clear();
    desktop.join(2);
    EXPECT_EQ(desktop.viewers[2].next, 1u);
    EXPECT_EQ(cb.GetClipboardViewer(), 2u);
    // Drawn before it knows its successor, so the message stops there.
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"2:draw"}));
    errno = 0;
    EXPECT_EQ(cb.SetClipboardViewer(0), 0u);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(cb.GetClipboardViewer(), 2u);
}

TEST_F(ClipboardViewerChain, EveryChangeDrawsTheWholeChainOnceWhenTheClipboardCloses) {
    desktop.join(1);
    desktop.join(2);
    desktop.join(3);
    desktop.log.clear();

    ASSERT_TRUE(cb.OpenClipboard(9));
    ASSERT_TRUE(cb.EmptyClipboard());
    ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock("a")));
    ASSERT_TRUE(cb.SetClipboardData(CF_DIB, textBlock("b")));
    EXPECT_TRUE(desktop.log.empty());  // nothing while the clipboard is open
    ASSERT_TRUE(cb.CloseClipboard());
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"3:draw", "2:draw", "1:draw"}));

    desktop.log.clear();
    ASSERT_TRUE(cb.OpenClipboard(9));  // a reader changes nothing
    ASSERT_NE(cb.GetClipboardData(CF_TEXT), nullptr);
    ASSERT_TRUE(cb.CloseClipboard());
    EXPECT_TRUE(desktop.log.empty());

    ASSERT_TRUE(cb.OpenClipboard(9));  // emptying alone is a change
    ASSERT_TRUE(cb.EmptyClipboard());
    ASSERT_TRUE(cb.CloseClipboard());
    EXPECT_EQ(desktop.log.size(), 3u);
}

TEST_F(ClipboardViewerChain, AViewerReadsTheNewContentsWhileTheWriteIsStillUnderWay) {
    bool writing = false;
    std::vector<std::string> seen;
    desktop.join(1);
    desktop.viewers[1].onDraw = [&] {
        std::string what = writing ? "during write: " : "idle: ";
        if (!cb.OpenClipboard(1)) {
            seen.push_back(what + "cannot open");
            return;
        }
        seen.push_back(what + textOf(cb.GetClipboardData(CF_TEXT)));
        EXPECT_TRUE(cb.CloseClipboard());
    };

    writing = true;
    write("new");
    writing = false;
    EXPECT_EQ(seen, (std::vector<std::string>{"during write: new"}));
    EXPECT_EQ(cb.GetOpenClipboardWindow(), 0u);
}

TEST_F(ClipboardViewerChain, AViewerThatWritesFromItsNotificationIsNotifiedAgainInside) {
    // As the tray frame does: a busy flag keeps the nested notification from
    // rewriting what it just wrote; both notifications are passed on.
    bool busy = false;
    desktop.join(1);
    desktop.join(2);
    desktop.viewers[2].onDraw = [&] {
        if (busy) {
            desktop.log.push_back("2:busy");
            return;
        }
        busy = true;
        ASSERT_TRUE(cb.OpenClipboard(2));
        std::string text = textOf(cb.GetClipboardData(CF_TEXT));
        ASSERT_TRUE(cb.EmptyClipboard());
        ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock(text + " (improved)")));
        ASSERT_TRUE(cb.CloseClipboard());
        busy = false;
    };
    desktop.log.clear();

    write("picture");
    EXPECT_EQ(desktop.log,
              (std::vector<std::string>{"2:draw", "2:draw", "2:busy", "1:draw", "1:draw"}));
    ASSERT_TRUE(cb.OpenClipboard(3));
    EXPECT_EQ(textOf(cb.GetClipboardData(CF_TEXT)), "picture (improved)");
    EXPECT_EQ(cb.GetClipboardOwner(), 2u);
}

TEST_F(ClipboardViewerChain, NotificationsGoOnPastAViewerThatLeft) {
    desktop.join(1);
    desktop.join(2);
    desktop.join(3);  // chain 3 -> 2 -> 1
    desktop.log.clear();

    desktop.leave(2);
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"3:chain(2,1)"}));
    EXPECT_EQ(desktop.viewers[3].next, 1u);
    desktop.log.clear();
    write("a");
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"3:draw", "1:draw"}));

    desktop.leave(3);  // the first viewer leaves: its successor comes first
    EXPECT_EQ(cb.GetClipboardViewer(), 1u);
    desktop.log.clear();
    write("b");
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"1:draw"}));

    desktop.leave(1);  // the last one
    EXPECT_EQ(cb.GetClipboardViewer(), 0u);
    desktop.log.clear();
    write("c");
    EXPECT_TRUE(desktop.log.empty());
}

TEST_F(ClipboardViewerChain, TheLastViewerLeavingAtTheEndKeepsTheRestIntact) {
    desktop.join(1);
    desktop.join(2);
    desktop.join(3);  // chain 3 -> 2 -> 1
    desktop.log.clear();
    desktop.leave(1);
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"3:chain(1,0)", "2:chain(1,0)"}));
    EXPECT_EQ(desktop.viewers[2].next, 0u);
    desktop.log.clear();
    write("a");
    EXPECT_EQ(desktop.log, (std::vector<std::string>{"3:draw", "2:draw"}));
}

// ---- failures on demand ---------------------------------------------------

TEST(ClipboardFailures, AnInjectedFailureChangesNothingAndPassesAfterwards) {
    struct Case {
        ClipboardCall call;
        const char* name;
        std::function<bool(Clipboard&)> run;
    };
    const Case cases[] = {
        {ClipboardCall::Open, "open", [](Clipboard& cb) { return cb.OpenClipboard(1); }},
        {ClipboardCall::Empty, "empty", [](Clipboard& cb) { return cb.EmptyClipboard(); }},
        {ClipboardCall::SetData, "set",
         [](Clipboard& cb) { return cb.SetClipboardData(CF_DIB, textBlock("x")); }},
        {ClipboardCall::GetData, "get",
         [](Clipboard& cb) { return cb.GetClipboardData(CF_TEXT) != nullptr; }},
        {ClipboardCall::Close, "close", [](Clipboard& cb) { return cb.CloseClipboard(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clipboard cb;
        FakeDesktop desktop(cb);
        desktop.join(4);
        ASSERT_TRUE(cb.OpenClipboard(1));
        ASSERT_TRUE(cb.SetClipboardData(CF_TEXT, textBlock("kept")));
        desktop.log.clear();

        cb.failNext(c.call, EIO);
        errno = 0;
        EXPECT_FALSE(c.run(cb));
        EXPECT_EQ(errno, EIO);
        EXPECT_EQ(SystemErrorText(), std::strerror(EIO));
        EXPECT_EQ(cb.GetOpenClipboardWindow(), 1u);
        EXPECT_EQ(cb.CountClipboardFormats(), 1);
        EXPECT_TRUE(cb.IsClipboardFormatAvailable(CF_TEXT));
        EXPECT_TRUE(desktop.log.empty());

        EXPECT_TRUE(c.run(cb));
    }
}

TEST(ClipboardFailures, AFailedSetLeavesTheBlockWithTheWriter) {
    Clipboard cb;
    ASSERT_TRUE(cb.OpenClipboard(1));
    GlobalHandle block = makeMetafilePictBlock(GHND, mf::METAFILEPICT{}, picture());
    const mf::Metafile* pic = block->metafile();
    cb.failNext(ClipboardCall::SetData, ENOMEM, 2);
    EXPECT_FALSE(cb.SetClipboardData(CF_METAFILEPICT, std::move(block)));
    EXPECT_FALSE(cb.SetClipboardData(CF_METAFILEPICT, std::move(block)));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->metafile(), pic);
    EXPECT_TRUE(cb.SetClipboardData(CF_METAFILEPICT, std::move(block)));
    EXPECT_EQ(cb.GetClipboardData(CF_METAFILEPICT)->metafile(), pic);
}

TEST(ClipboardFailures, ACancelledFailureDoesNotHappen) {
    Clipboard cb;
    cb.failNext(ClipboardCall::Open, EIO);
    cb.failNext(ClipboardCall::Open, EIO, 0);
    EXPECT_TRUE(cb.OpenClipboard(1));
}

}  // namespace
}  // namespace qv::platform
