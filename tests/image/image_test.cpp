// Decoding without a window: every format variant against known pixels, and files that must fail.
#include "image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

struct Picture {
    uint32_t w, h;
    Bytes rgba;
    const uint8_t* at(uint32_t x, uint32_t y) const { return &rgba[(size_t(y) * w + x) * 4]; }
};

Picture make(uint32_t w, uint32_t h, const std::function<void(uint32_t, uint32_t, uint8_t*)>& pixel) {
    Picture p{w, h, Bytes(size_t(w) * h * 4)};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) pixel(x, y, &p.rgba[(size_t(y) * w + x) * 4]);
    return p;
}

// Eight colours, the index moving by 3 from row to row so that no two rows are alike
// (an interlacing mistake shows).
const uint8_t kColours[8][3] = {{255, 0, 0}, {0, 255, 0},    {0, 0, 255},   {255, 255, 255},
                                {0, 0, 0},   {255, 255, 0}, {200, 100, 50}, {40, 80, 160}};
uint32_t indexAt(uint32_t x, uint32_t y, uint32_t colours) { return (x + 3 * y) % colours; }

Picture colours(uint32_t n) {
    return make(8, 8, [n](uint32_t x, uint32_t y, uint8_t* p) {
        std::memcpy(p, kColours[indexAt(x, y, n)], 3);
        p[3] = 255;
    });
}

// The colour picture with pixel (1, 1) fully transparent and, when partial, column 2 half.
Picture withAlpha(bool partial) {
    Picture p = colours(8);
    p.rgba[(8 + 1) * 4 + 3] = 0;
    if (partial)
        for (uint32_t y = 0; y < 8; ++y) p.rgba[(y * 8 + 2) * 4 + 3] = 128;
    return p;
}

// Grey levels that a depth of `bits` holds exactly.
Picture greys(unsigned bits) {
    unsigned levels = bits == 1 ? 2 : bits == 2 ? 4 : 8;
    unsigned step = bits == 1 ? 255 : bits == 2 ? 85 : bits == 4 ? 34 : 32;
    return make(8, 8, [=](uint32_t x, uint32_t y, uint8_t* p) {
        p[0] = p[1] = p[2] = uint8_t(indexAt(x, y, levels) * step);
        p[3] = 255;
    });
}

// Four 8x8 blocks, which JPEG keeps close to their colour.
Picture blocks() {
    return make(16, 16, [](uint32_t x, uint32_t y, uint8_t* p) {
        std::memcpy(p, kColours[(x / 8) + 2 * (y / 8) + 1], 3);
        p[3] = 255;
    });
}

class ImageTest : public testing::Test {
protected:
    void SetUp() override {
        if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick convert missing";
        char tmpl[] = "/tmp/image_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    std::string write(const std::string& name, const Bytes& bytes) {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path(name);
    }

    Bytes read(const std::string& file) {
        std::ifstream f(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }

    // A 32-bit top-left TGA, the source that ImageMagick converts from.
    std::string writeTga(const std::string& name, const Picture& p) {
        Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(p.w), uint8_t(p.w >> 8), uint8_t(p.h),
                   uint8_t(p.h >> 8), 32, 0x28};
        for (size_t i = 0; i < p.rgba.size(); i += 4)
            b.insert(b.end(), {p.rgba[i + 2], p.rgba[i + 1], p.rgba[i], p.rgba[i + 3]});
        return write(name, b);
    }

    // `to` may carry an ImageMagick coder prefix ("png8:pic.png"); options go before the output.
    std::string convert(const Picture& p, const std::string& to, const std::string& options = "") {
        std::string src = writeTga("source.tga", p);
        size_t colon = to.find(':');
        std::string coder = colon == std::string::npos ? "" : to.substr(0, colon + 1);
        std::string out = path(colon == std::string::npos ? to : to.substr(colon + 1));
        std::string cmd = "convert '" + src + "' " + options + " '" + coder + out + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return out;
    }

    // Pixels within `tolerance`; where the picture is fully transparent only alpha counts.
    void expectPixels(const std::string& file, const Picture& want, int tolerance = 0, uint32_t stride = 1) {
        SCOPED_TRACE(file);
        image::Pixels got;
        ASSERT_TRUE(image::loadFile(file.c_str(), 4096, &got));
        ASSERT_EQ(got.width, want.w);
        ASSERT_EQ(got.height, want.h);
        for (uint32_t y = stride / 2; y < want.h; y += stride)
            for (uint32_t x = stride / 2; x < want.w; x += stride) {
                const uint8_t* g = &got.rgba[(size_t(y) * want.w + x) * 4];
                const uint8_t* e = want.at(x, y);
                for (int c = e[3] == 0 ? 3 : 0; c < 4; ++c)
                    ASSERT_LE(std::abs(g[c] - e[c]), tolerance) << "pixel " << x << "," << y << " channel " << c;
            }
    }

    void expectFailure(const std::string& file) {
        image::Pixels got;
        EXPECT_FALSE(image::loadFile(file.c_str(), 4096, &got)) << file;
        EXPECT_TRUE(got.rgba.empty()) << file;
    }

    std::string dir_;
};

Picture opaque(Picture p) {
    for (size_t i = 3; i < p.rgba.size(); i += 4) p.rgba[i] = 255;
    return p;
}

TEST_F(ImageTest, PngEveryColourTypeAndDepth) {
    expectPixels(convert(withAlpha(true), "png32:rgba8.png"), withAlpha(true));
    expectPixels(convert(withAlpha(true), "png64:rgba16.png"), withAlpha(true));
    expectPixels(convert(colours(8), "png24:rgb8.png"), colours(8));
    expectPixels(convert(colours(8), "png48:rgb16.png"), colours(8));
    expectPixels(convert(colours(8), "png8:palette.png"), colours(8));
    expectPixels(convert(colours(2), "png8:palette1.png"), colours(2));
    expectPixels(convert(withAlpha(false), "png8:trns.png"), withAlpha(false));
    for (unsigned bits : {1u, 2u, 4u, 8u, 16u})
        expectPixels(convert(greys(bits), "grey" + std::to_string(bits) + ".png",
                             "-define png:color-type=0 -define png:bit-depth=" + std::to_string(bits) +
                                 (bits < 8 ? " -depth " + std::to_string(bits) : "")),
                     greys(bits));
    Picture ga = greys(8);
    ga.rgba[(8 + 1) * 4 + 3] = 0;
    ga.rgba[(8 * 3 + 2) * 4 + 3] = 100;
    expectPixels(convert(ga, "greyalpha.png", "-define png:color-type=4"), ga);
    expectPixels(convert(withAlpha(true), "png32:adam7.png", "-interlace PNG"), withAlpha(true));
}

TEST_F(ImageTest, JpegBaselineProgressiveGreyAndCmyk) {
    Picture b = blocks();
    expectPixels(convert(b, "base.jpg", "-quality 100 -sampling-factor 1x1"), b, 6, 4);
    expectPixels(convert(b, "prog.jpg", "-quality 100 -sampling-factor 1x1 -interlace JPEG"), b, 6, 4);
    expectPixels(convert(b, "cmyk.jpg", "-quality 100 -colorspace CMYK"), b, 10, 4);
    Picture g = make(16, 16, [](uint32_t x, uint32_t y, uint8_t* p) {
        p[0] = p[1] = p[2] = uint8_t(60 * (x / 8) + 120 * (y / 8));
        p[3] = 255;
    });
    expectPixels(convert(g, "grey.jpg", "-quality 100 -colorspace Gray"), g, 4, 4);
    expectPixels(convert(g, "greyprog.jpg", "-quality 100 -colorspace Gray -interlace JPEG"), g, 4, 4);
}

TEST_F(ImageTest, GifFirstFrameTransparentAndInterlaced) {
    expectPixels(convert(colours(8), "plain.gif"), colours(8));
    expectPixels(convert(withAlpha(false), "trans.gif"), withAlpha(false));
    expectPixels(convert(colours(8), "inter.gif", "-interlace GIF"), colours(8));
    // A second frame of another colour changes nothing.
    std::string two = convert(colours(8), "first.gif");
    std::string cmd = "convert '" + two + "' -size 8x8 xc:blue '" + path("two.gif") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    expectPixels(path("two.gif"), colours(8));
}

// A Windows BMP with a BITMAPINFOHEADER; negative height stores rows top first.
Bytes bmp(int32_t w, int32_t h, uint16_t bits, uint32_t compression, const Bytes& palette, const Bytes& pixels) {
    uint32_t offset = 14 + 40 + uint32_t(palette.size()), size = offset + uint32_t(pixels.size());
    auto le = [](Bytes& b, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b.push_back(uint8_t(v >> (8 * i)));
    };
    Bytes b = {'B', 'M'};
    le(b, size, 4), le(b, 0, 4), le(b, offset, 4);
    le(b, 40, 4), le(b, uint32_t(w), 4), le(b, uint32_t(h), 4), le(b, 1, 2), le(b, bits, 2);
    le(b, compression, 4), le(b, uint32_t(pixels.size()), 4), le(b, 2835, 4), le(b, 2835, 4);
    le(b, uint32_t(palette.size() / 4), 4), le(b, 0, 4);
    b.insert(b.end(), palette.begin(), palette.end());
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

TEST_F(ImageTest, BmpEveryDepthRunLengthAndRowOrder) {
    Picture c = colours(8);
    expectPixels(convert(colours(2), "bmp3:b1.bmp", "-type Palette"), colours(2));
    expectPixels(convert(c, "bmp3:b4.bmp", "-type Palette -colors 16"), c);
    expectPixels(convert(c, "bmp3:b8.bmp", "-type Palette -compress None"), c);
    expectPixels(convert(c, "bmp3:rle8.bmp", "-type Palette -compress RLE"), c);
    expectPixels(convert(c, "b16.bmp", "-define bmp:subtype=RGB565"), c, 8);
    expectPixels(convert(c, "bmp3:b24.bmp", "-type TrueColor"), c);
    expectPixels(convert(withAlpha(true), "b32.bmp", "-define bmp:subtype=ARGB8888"), withAlpha(true));
    // Palette red, green, blue, white. Bottom row: two pixels of 2, a skip of one, a literal 1 0 3;
    // top row: a run of four alternating 3 and 0, then the end of the bitmap.
    Bytes palette = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    Bytes rle4 = {2, 0x22, 0, 2, 1, 0, 0, 3, 0x10, 0x30, 0, 0, 4, 0x30, 0, 1};
    const uint8_t R[4] = {255, 0, 0, 255}, G[4] = {0, 255, 0, 255}, B[4] = {0, 0, 255, 255}, W[4] = {255, 255, 255, 255};
    const uint8_t* rows[2][6] = {{W, R, W, R, R, R}, {B, B, R, G, R, W}};
    Picture want = make(6, 2, [&](uint32_t x, uint32_t y, uint8_t* p) { std::memcpy(p, rows[y][x], 4); });
    expectPixels(write("rle4.bmp", bmp(6, 2, 4, 2, palette, rle4)), want);
    // 24-bit, top row first: blue, green, red bytes, rows padded to four bytes.
    Bytes topDown = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0};
    const uint8_t* rows2[2][2] = {{B, G}, {R, W}};
    Picture want2 = make(2, 2, [&](uint32_t x, uint32_t y, uint8_t* p) { std::memcpy(p, rows2[y][x], 4); });
    expectPixels(write("topdown.bmp", bmp(2, -2, 24, 0, {}, topDown)), want2);
}

TEST_F(ImageTest, TgaPlainRunLengthMappedEitherOrigin) {
    Picture a = withAlpha(true), c = colours(8);
    expectPixels(writeTga("topleft.tga", a), a);
    expectPixels(convert(a, "bottomleft.tga"), a);
    expectPixels(convert(a, "rle.tga", "-compress RLE"), a);
    expectPixels(convert(c, "rgb.tga", "-type TrueColor -alpha off"), c);
    expectPixels(convert(c, "mapped.tga", "-type Palette"), c);
    expectPixels(convert(c, "mappedrle.tga", "-type Palette -compress RLE"), c);
    expectPixels(convert(greys(8), "grey.tga", "-type Grayscale"), greys(8));
    // Found by content under any name.
    expectPixels(write("pic.image", read(path("topleft.tga"))), a);
}

TEST_F(ImageTest, WebpLossyAndLossless) {
    expectPixels(convert(withAlpha(true), "lossless.webp", "-define webp:lossless=true"), withAlpha(true));
    expectPixels(convert(blocks(), "lossy.webp", "-quality 100"), blocks(), 12, 4);
}

TEST_F(ImageTest, OtherFormatsAreRefused) {
    for (const char* name : {"x.xpm", "x.pcx", "x.tiff", "x.ico", "x.ppm", "x.pgm", "x.pbm"})
        expectFailure(convert(colours(8), name));
    expectFailure(write("x.xcf", Bytes({'g', 'i', 'm', 'p', ' ', 'x', 'c', 'f', ' ', 'f', 'i', 'l', 'e', 0, 0, 0,
                                        0, 8, 0, 0, 0, 8, 0, 0, 0, 0})));
    expectFailure(write("x.lbm", Bytes({'F', 'O', 'R', 'M', 0, 0, 0, 40, 'I', 'L', 'B', 'M', 'B', 'M', 'H', 'D',
                                        0, 0, 0, 20, 0, 8, 0, 8, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 1, 1, 0, 8, 0, 8})));
}

TEST_F(ImageTest, TruncatedDamagedAndOversizedFilesFail) {
    Picture c = colours(8);
    for (const char* name : {"png24:t.png", "t.jpg", "t.gif", "bmp3:t.bmp", "t.tga", "t.webp"}) {
        Bytes whole = read(convert(c, name));
        for (size_t keep : {whole.size() * 6 / 10, whole.size() - 2, size_t(20), size_t(3)}) {
            Bytes cut(whole.begin(), whole.begin() + long(std::min(keep, whole.size())));
            expectFailure(write(std::string("cut_") + (std::strchr(name, ':') ? std::strchr(name, ':') + 1 : name), cut));
        }
    }
    // A PNG whose data fails its checksum.
    Bytes png = read(convert(make(64, 48, [](uint32_t x, uint32_t y, uint8_t* p) {
                                 p[0] = uint8_t(x * 7 + y), p[1] = uint8_t(x * y), p[2] = uint8_t(y * 5), p[3] = 255;
                             }),
                             "png24:noise.png"));
    for (size_t i = png.size() / 2; i < png.size() / 2 + 16; ++i) png[i] = uint8_t(~png[i]);
    expectFailure(write("bad.png", png));
    // Header sizes beyond the caller's limit or 256 MiB of pixels fail before decoding.
    image::Pixels got;
    Bytes tga = read(writeTga("small.tga", c));
    EXPECT_FALSE(image::decode(tga.data(), tga.size(), 7, &got));
    EXPECT_TRUE(image::decode(tga.data(), tga.size(), 8, &got));
    Bytes wide = read(convert(c, "png24:wide.png"));
    wide[16] = 0x00, wide[17] = 0x01, wide[18] = 0x00, wide[19] = 0x00;  // width 65536
    EXPECT_FALSE(image::decode(wide.data(), wide.size(), 1u << 20, &got));
    Bytes huge = bmp(16384, 16385, 24, 0, {}, Bytes(64));
    EXPECT_FALSE(image::decode(huge.data(), huge.size(), 1u << 20, &got));
}

TEST_F(ImageTest, OnlyRegularFilesOfBoundedSizeAreRead) {
    Bytes data;
    EXPECT_FALSE(image::readFile(path("missing").c_str(), &data));
    EXPECT_FALSE(image::readFile(dir_.c_str(), &data));
    EXPECT_FALSE(image::readFile("/dev/zero", &data));
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(image::readFile(path("fifo").c_str(), &data));  // would block if opened for reading
    int fd = open(path("big").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(image::kMaxFileBytes) + 1), 0);  // sparse: costs no disk
    close(fd);
    EXPECT_FALSE(image::readFile(path("big").c_str(), &data));
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(image::readFile(writeTga("ok.tga", colours(8)).c_str(), &data));
    EXPECT_EQ(data.size(), 18u + 8 * 8 * 4);
}

}  // namespace
