// Picture files through D3DXCreateTextureFromFileExA: drawn texels, colour key, limits and failures
// (decoding each format is tested in tests/image).
#include "device_fixture.h"

#include "device.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace {

class TextureTest : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick convert missing";
    }

    // Converts a file of the test folder with ImageMagick; extra options go before the output.
    std::string convert(const std::string& from, const std::string& to, const std::string& options = "") {
        std::string out = dir() + "/" + to;
        std::string cmd = "convert '" + dir() + "/" + from + "' " + options + " '" + out + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return out;
    }

    std::vector<char> read(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(f), {});
    }

    std::string write(const std::string& name, const std::vector<char>& bytes) {
        std::string path = dir() + "/" + name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }

    void expectFailure(const std::string& path) {
        IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(this);
        testing::internal::CaptureStderr();
        HRESULT hr = load(path, &tex);
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(FAILED(hr)) << path;
        EXPECT_EQ(tex, nullptr) << path;
        EXPECT_EQ(printed, "") << path;
    }

    // Draws the 4x2 picture file centred and checks its texels.
    void expectDrawn(const std::string& path, const Picture& want) {
        IDirect3DTexture9* tex = loadOrFail(path);
        ASSERT_NE(tex, nullptr);
        IDirect3DVertexBuffer9* vb = quad(2, 1);
        begin();
        draw(tex, vb);
        Picture f = endAndRead();
        SCOPED_TRACE(path);
        expectPictureAt(f, want, 398, 299);
    }
};

Picture opaque(Picture p) {
    for (size_t i = 3; i < p.rgba.size(); i += 4) p.rgba[i] = 255;
    return p;
}

TEST_F(TextureTest, BmpAndTga) {
    Picture pic = testPicture();
    std::string tga = writeTga("pic.tga", pic);
    expectDrawn(tga, pic);
    expectDrawn(convert("pic.tga", "rle.tga", "-compress RLE"), pic);
    expectDrawn(convert("pic.tga", "pic.bmp", "-alpha off -type TrueColor -define bmp:format=bmp3"), opaque(pic));
    // A TGA under another name is still found.
    std::vector<char> bytes = read(tga);
    expectDrawn(write("pic.image", bytes), pic);
}

TEST_F(TextureTest, ColourKeyBecomesTransparentBlack) {
    Picture pic = testPicture();
    std::string path = writeTga("pic.tga", pic);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(dev, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0xFFFF0000,
                                           nullptr, nullptr, &tex),
              D3D_OK);
    IDirect3DVertexBuffer9* vb = quad(2, 1);
    begin(0xFFFFFFFF);
    draw(tex, vb);
    Picture f = endAndRead();
    tex->Release();
    EXPECT_TRUE(near(f.at(398, 299), {255, 255, 255, 255}));  // the red texel
    EXPECT_TRUE(near(f.at(399, 299), {0, 255, 0, 255}));
}

TEST_F(TextureTest, MissingEmptyAndGarbageFilesFail) {
    expectFailure(dir() + "/missing.png");
    expectFailure(write("empty.png", {}));
    std::mt19937 rng(3);
    std::vector<char> junk(3000);
    for (auto& c : junk) c = char(rng());
    expectFailure(write("junk.png", junk));
    expectFailure(write("junk.jpg", junk));
    expectFailure(write("junk.tga", junk));
    expectFailure(write("junk", junk));
    expectFailure(dir());  // a folder
}

TEST_F(TextureTest, PicturesAboveTheTextureLimitFail) {
    int max = int(dynamic_cast<d3d9impl::Device*>(dev)->maxTextureSize());
    ASSERT_GT(max, 0);
    // Written directly: ImageMagick refuses pictures this wide.
    Picture wide{max + 1, 1, std::vector<uint8_t>(size_t(max + 1) * 4, 255)};
    std::string path = writeTga("wide.tga", wide);
    IDirect3DTexture9* tex = nullptr;
    EXPECT_TRUE(FAILED(load(path, &tex)));
    EXPECT_EQ(tex, nullptr);
}

TEST_F(TextureTest, ExplicitSizeMustMatchTheFile) {
    std::string path = writeTga("pic.tga", testPicture());
    IDirect3DTexture9* tex = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileExA(dev, path.c_str(), 4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &tex),
              D3D_OK);
    ASSERT_NE(tex, nullptr);
    tex->Release();
    tex = nullptr;
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileExA(dev, path.c_str(), 8, 8, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                    D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &tex)));
    EXPECT_EQ(tex, nullptr);
}

}  // namespace
