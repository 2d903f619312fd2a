#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "host/bitmap_errors.h"
#include "host/frame_windows.h"
#include "host/image_files.h"
#include "max/bitmap.h"
#include "render/png_writer.h"
#include "render/srgb16.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace fs = std::filesystem;

namespace {

struct Dir {
    std::string path;
    Dir() {
        char t[] = "/tmp/wx_bitmap_XXXXXX";
        path = mkdtemp(t);
    }
    ~Dir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// A 97 x 5 picture: a colour ramp across, alpha falling down the rows, with out-of-range
// and NaN samples that the writer clamps.
std::vector<float> testPicture(int w, int h) {
    std::vector<float> img(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float* p = &img[(size_t(y) * w + x) * 4];
            float u = float(x) / float(w - 1);
            p[0] = u;
            p[1] = u * u * 1.2f - 0.1f;
            p[2] = 1.0f - u;
            p[3] = 1.0f - float(y) / float(h);
        }
    img[0] = std::numeric_limits<float>::quiet_NaN();
    return img;
}

Bitmap* load(const std::string& path, BMMRES& status, BitmapInfo& bi) {
    bi.SetName(std::wstring(path.begin(), path.end()).c_str());
    return TheManager->Load(&bi, &status);
}

std::vector<BMM_Color_fl> row(Bitmap* bmp, int y) {
    std::vector<BMM_Color_fl> out(size_t(bmp->Width()));
    EXPECT_EQ(bmp->GetLinearPixels(0, y, bmp->Width(), out.data()), 1);
    return out;
}

TEST(BitmapFiles, SixteenBitPngFromOurWriterReadsBackWithinOneCode) {
    Dir dir;
    const int w = 97, h = 5;
    std::vector<float> img = testPicture(w, h);
    ASSERT_TRUE(wx::writePng16(dir / "ramp.png", img.data(), w, h));
    BMMRES status = 99;
    BitmapInfo bi;
    Bitmap* bmp = load(dir / "ramp.png", status, bi);
    ASSERT_NE(bmp, nullptr) << host::lastBitmapError();
    EXPECT_EQ(status, BMMRES_SUCCESS);
    EXPECT_EQ(bmp->Width(), w);
    EXPECT_EQ(bmp->Height(), h);
    EXPECT_EQ(bi.Type(), BMM_TRUE_64);
    EXPECT_TRUE(bmp->HasAlpha());
    EXPECT_TRUE(bi.TestFlags(MAP_HAS_ALPHA));
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        std::vector<BMM_Color_fl> got = row(bmp, y);
        for (int x = 0; x < w; ++x) {
            const float* want = &img[(size_t(y) * w + x) * 4];
            const float gotC[3] = {got[x].r, got[x].g, got[x].b};
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(wx::srgb16Formula(gotC[c])) - int(wx::srgb16Formula(want[c]))));
            worst = std::max(worst, std::abs(int(wx::linear16(got[x].a)) - int(wx::linear16(want[3]))));
        }
    }
    EXPECT_LE(worst, 1);
    // Row 0 is the top row: alpha falls from the first row to the last.
    EXPECT_GT(row(bmp, 0)[10].a, row(bmp, h - 1)[10].a);
    bmp->DeleteThis();
}

TEST(BitmapFiles, EightBitFormatsDecodeFromSrgbToLinear) {
    Dir dir;
    const int w = 64, h = 3;
    std::vector<unsigned char> rgba(size_t(w) * h * 4), rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char v[4] = {(unsigned char)(x * 4), (unsigned char)(255 - x * 3), (unsigned char)(x * x % 256),
                                  (unsigned char)(255 - y * 100)};
            for (int c = 0; c < 4; ++c) rgba[(size_t(y) * w + x) * 4 + c] = v[c];
            for (int c = 0; c < 3; ++c) rgb[(size_t(y) * w + x) * 3 + c] = (unsigned char)(x * 4);
        }
    ASSERT_TRUE(stbi_write_png((dir / "a.png").c_str(), w, h, 4, rgba.data(), w * 4));
    ASSERT_TRUE(stbi_write_tga((dir / "a.tga").c_str(), w, h, 4, rgba.data()));
    ASSERT_TRUE(stbi_write_jpg((dir / "a.jpg").c_str(), w, h, 3, rgb.data(), 100));

    for (const char* name : {"a.png", "a.tga"}) {
        BMMRES status;
        BitmapInfo bi;
        Bitmap* bmp = load(dir / name, status, bi);
        ASSERT_NE(bmp, nullptr) << name << ": " << host::lastBitmapError();
        EXPECT_EQ(bi.Type(), BMM_TRUE_32) << name;
        for (int y = 0; y < h; ++y) {
            std::vector<BMM_Color_fl> got = row(bmp, y);
            for (int x = 0; x < w; ++x) {
                const unsigned char* want = &rgba[(size_t(y) * w + x) * 4];
                const float c[3] = {got[x].r, got[x].g, got[x].b};
                for (int k = 0; k < 3; ++k)
                    ASSERT_EQ(std::lround(wx::srgb16Formula(c[k]) / 257.0), want[k]) << name << " x " << x;
                ASSERT_NEAR(got[x].a * 255.0f, want[3], 1e-3) << name;
            }
        }
        // Mid grey code 128 is about 0.216 linear, not 0.5: the curve was removed.
        EXPECT_NEAR(host::srgbToLinear(128.0f / 255.0f), 0.2158605f, 1e-6);
        bmp->DeleteThis();
    }

    BMMRES status;
    BitmapInfo bi;
    Bitmap* jpg = load(dir / "a.jpg", status, bi);
    ASSERT_NE(jpg, nullptr) << host::lastBitmapError();
    EXPECT_EQ(bi.Type(), BMM_TRUE_24);
    EXPECT_FALSE(jpg->HasAlpha());
    std::vector<BMM_Color_fl> got = row(jpg, 1);
    for (int x = 0; x < w; ++x) {
        EXPECT_NEAR(wx::srgb16Formula(got[x].r) / 257.0, x * 4, 3.0) << x;  // lossy, at quality 100
        EXPECT_EQ(got[x].a, 1.0f);
    }
    jpg->DeleteThis();
}

TEST(BitmapFiles, ExrKeepsFloatsAndTheDepthChannel) {
    Dir dir;
    const int w = 7, h = 3;
    std::vector<float> img(size_t(w) * h * 4);
    for (size_t i = 0; i < img.size(); ++i) img[i] = float(i) * 0.37f - 2.0f;  // HDR and negative values
    std::string error;
    ASSERT_TRUE(host::writeExrRgba(dir / "c.exr", img.data(), w, h, error)) << error;
    BMMRES status;
    BitmapInfo bi;
    Bitmap* bmp = load(dir / "c.exr", status, bi);
    ASSERT_NE(bmp, nullptr) << host::lastBitmapError();
    EXPECT_EQ(bi.Type(), BMM_FLOAT_RGBA_32);
    EXPECT_TRUE(bmp->IsHighDynamicRange());
    EXPECT_TRUE(bmp->HasAlpha());
    for (int y = 0; y < h; ++y) {
        std::vector<BMM_Color_fl> got = row(bmp, y);
        for (int x = 0; x < w; ++x) {
            const float* want = &img[(size_t(y) * w + x) * 4];
            EXPECT_EQ(got[x].r, want[0]);
            EXPECT_EQ(got[x].g, want[1]);
            EXPECT_EQ(got[x].b, want[2]);
            EXPECT_EQ(got[x].a, want[3]);
        }
    }
    bmp->DeleteThis();

    std::vector<float> depth = {1.5f, 2.0f, std::numeric_limits<float>::infinity(), 1e6f, 0.25f, 3.0f};
    ASSERT_TRUE(host::writeExrDepth(dir / "z.exr", depth.data(), 3, 2, error)) << error;
    Imf::InputFile file((dir / "z.exr").c_str());
    ASSERT_NE(file.header().channels().findChannel("Z"), nullptr);
    std::vector<float> back(6);
    Imf::FrameBuffer fb;
    fb.insert("Z", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(back.data()), sizeof(float), 3 * sizeof(float)));
    file.setFrameBuffer(fb);
    file.readPixels(0, 1);
    EXPECT_EQ(back, depth);
    // Written through a temporary name: nothing else is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST(BitmapFiles, BadFilesFailWithStatusAndMessage) {
    Dir dir;
    std::vector<float> img = testPicture(40, 40);
    ASSERT_TRUE(wx::writePng16(dir / "good.png", img.data(), 40, 40));
    std::string error;
    ASSERT_TRUE(host::writeExrRgba(dir / "good.exr", img.data(), 40, 40, error));
    auto cut = [&](const std::string& from, const std::string& to, size_t bytes) {
        std::ifstream in(dir / from, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(dir / to, std::ios::binary) << data.substr(0, bytes);
    };
    cut("good.png", "cut.png", 200);
    cut("good.exr", "cut.exr", 300);
    std::ofstream(dir / "text.png") << "not an image at all\n";
    fs::create_directory(dir / "folder.png");

    struct Case {
        std::string name;
        BMMRES status;
    };
    for (const Case& c : {Case{"missing.png", BMMRES_FILENOTFOUND}, Case{"folder.png", BMMRES_FILENOTFOUND},
                          Case{"text.png", BMMRES_NODRIVER}, Case{"cut.png", BMMRES_CORRUPTFILE},
                          Case{"cut.exr", BMMRES_CORRUPTFILE}}) {
        BMMRES status = BMMRES_SUCCESS;
        BitmapInfo bi;
        EXPECT_EQ(load(dir / c.name, status, bi), nullptr) << c.name;
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_NE(host::lastBitmapError().find(c.name), std::string::npos) << host::lastBitmapError();
    }
    // A failed reload leaves the bitmap that was there.
    const std::string good = dir / "good.png";
    BitmapInfo bi(std::wstring(good.begin(), good.end()).c_str());
    Bitmap* bmp = nullptr;
    ASSERT_EQ(TheManager->LoadInto(&bi, &bmp), BMMRES_SUCCESS);
    Bitmap* kept = bmp;
    bi.SetName(L"/nonexistent/x.png");
    EXPECT_EQ(TheManager->LoadInto(&bi, &bmp), BMMRES_FILENOTFOUND);
    EXPECT_EQ(bmp, kept);
    EXPECT_EQ(bmp->Width(), 40);
    bmp->DeleteThis();
    // The header alone.
    BitmapInfo info;
    const std::string exr = dir / "good.exr";
    ASSERT_EQ(TheManager->GetImageInfo(&info, std::wstring(exr.begin(), exr.end()).c_str()), BMMRES_SUCCESS);
    EXPECT_EQ(info.Width(), 40);
    EXPECT_EQ(info.Type(), BMM_FLOAT_RGBA_32);
}

TEST(Bitmaps, RowsStayInsideTheImageAndSixteenBitValuesClamp) {
    BitmapInfo bi;
    bi.SetWidth(3);
    bi.SetHeight(2);
    bi.SetType(BMM_FLOAT_RGBA_32);
    bi.SetFlags(MAP_HAS_ALPHA);
    Bitmap* bmp = TheManager->Create(&bi);
    ASSERT_NE(bmp, nullptr);
    EXPECT_TRUE(bmp->HasAlpha());
    BMM_Color_fl px[3];
    ASSERT_EQ(bmp->GetPixels(0, 1, 3, px), 1);
    EXPECT_EQ(px[2].a, 0.0f);  // created clear
    const BMM_Color_fl two[2] = {{1.5f, -0.2f, 0.5f, 1.0f}, {std::nanf(""), 0.25f, 2.0f, 0.5f}};
    EXPECT_EQ(bmp->PutPixels(1, 1, 2, two), 1);
    EXPECT_EQ(bmp->PutPixels(2, 1, 2, two), 0);  // one past the right edge
    EXPECT_EQ(bmp->PutPixels(0, 2, 1, two), 0);
    EXPECT_EQ(bmp->PutPixels(-1, 0, 1, two), 0);
    EXPECT_EQ(bmp->GetPixels(0, -1, 1, px), 0);
    BMM_Color_64 wide[2];
    ASSERT_EQ(bmp->GetPixels(1, 1, 2, wide), 1);
    EXPECT_EQ(wide[0].r, 65535);
    EXPECT_EQ(wide[0].g, 0);
    EXPECT_EQ(wide[0].b, 32768);
    EXPECT_EQ(wide[1].r, 0);
    EXPECT_EQ(wide[1].b, 65535);
    BMM_Color_fl back[2];
    ASSERT_EQ(bmp->GetLinearPixels(1, 1, 2, back), 1);
    EXPECT_EQ(back[0].r, 1.5f);  // float storage keeps HDR values
    bmp->DeleteThis();

    bi.SetWidth(0);
    EXPECT_EQ(TheManager->Create(&bi), nullptr);
}

TEST(Bitmaps, DisplayRecordsNamedWindowsAndTheSinkSavesThem) {
    Dir dir;
    host::closeAllFrameWindows();
    std::vector<std::wstring> shown;
    host::setDisplaySink([&](const std::wstring& title, const Bitmap& bmp) {
        shown.push_back(title);
        std::string error;
        EXPECT_TRUE(host::saveBitmapPng(bmp, dir / "shown.png", error)) << error;
    });
    BitmapInfo bi;
    bi.SetWidth(4);
    bi.SetHeight(4);
    Bitmap* a = TheManager->Create(&bi);  // no alpha flag: saved opaque
    Bitmap* b = TheManager->Create(&bi);
    a->Fill({0.5f, 0.25f, 0.0f, 0.0f});
    a->Display(L"Weather - over the last render");
    ASSERT_NE(host::findFrameWindow(L"Weather - over the last render"), nullptr);
    EXPECT_EQ(host::findFrameWindow(L"Weather - over the last render")->bitmap, a);
    b->Display(L"Weather - over the last render");  // same window, new picture
    EXPECT_EQ(host::frameWindows().size(), 1u);
    EXPECT_EQ(host::findFrameWindow(L"Weather - over the last render")->bitmap, b);
    a->Display();
    EXPECT_NE(host::findFrameWindow(host::kDefaultFrameWindowTitle), nullptr);
    EXPECT_EQ(shown.size(), 3u);
    b->DeleteThis();
    EXPECT_EQ(host::findFrameWindow(L"Weather - over the last render"), nullptr);

    BMMRES status;
    BitmapInfo readBack;
    Bitmap* saved = load(dir / "shown.png", status, readBack);
    ASSERT_NE(saved, nullptr);
    std::vector<BMM_Color_fl> px = row(saved, 2);
    EXPECT_EQ(px[1].a, 1.0f);
    EXPECT_NEAR(px[1].r, 0.5f, 1e-4);
    saved->DeleteThis();
    a->DeleteThis();
    host::setDisplaySink(nullptr);
    EXPECT_TRUE(host::frameWindows().empty());

    std::string error;
    BitmapInfo one;
    one.SetWidth(1);
    one.SetHeight(1);
    Bitmap* c = TheManager->Create(&one);
    EXPECT_FALSE(host::saveBitmapPng(*c, "/nonexistent/folder/x.png", error));
    EXPECT_NE(error.find("/nonexistent/folder/x.png"), std::string::npos);
    c->DeleteThis();
}

}  // namespace
