// What image draws send to the device: composition, redundant-call elimination, modes.
#include <cmath>

#include <gtest/gtest.h>

#include "global_transform.h"
#include "recording_device.h"
#include "texture.h"
#include "texture_cache.h"

namespace {

struct FakeTexture : IDirect3DTexture9 {
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    ULONG refs = 1;
};

struct Point {
    float x, y, z;
};

// Row vector times matrix, as the device applies the world transform.
Point apply(const D3DMATRIX& m, float x, float y, float z = 0) {
    return {x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0],
            x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1],
            x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]};
}

class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        renderState.device = &device;
        resetGlobalTransform();
        TextureCache::ensure();
        IDirect3DVertexBuffer9* quad = nullptr;
        device.CreateVertexBuffer(128, 0, 0x112, D3DPOOL_MANAGED, &quad, nullptr);
        TextureCache::addFront(new TextureEntry{0, &picture, quad, "ball.png", 32, 16});
        device.calls.clear();
    }
    void TearDown() override { TextureCache::releaseAll(); }

    // An image holding the cached picture, in automatic mode if asked.
    Texture* loaded() {
        Texture* image = new Texture;
        EXPECT_TRUE(image->load("ball.png"));
        return image;
    }

    const D3DMATRIX& lastWorld() { return device.worldMatrices.back(); }

    RecordingDevice device;
    FakeTexture picture;
};

TEST_F(Drawing, GlobalStepsComposeInWindowCoordinatesAndPreScaleInImageSpace) {
    Texture* image = loaded();
    image->useGlobalMatrix();

    imageMove(100, 0);
    imageScale(2, 2);
    image->draw();
    EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).x, 200);

    imageReset();
    imageMove(100, 0);
    imagePreScale(2, 2);
    image->draw();
    EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).x, 100);
    EXPECT_FLOAT_EQ(apply(lastWorld(), 10, 0).x, 120);

    // Rotate then move turns each image about its own centre.
    imageReset();
    imageRotate(static_cast<float>(M_PI / 2));
    imageMove(50, 0);
    image->draw();
    Point p = apply(lastWorld(), 10, 0);
    EXPECT_NEAR(p.x, 50, 1e-4);
    EXPECT_NEAR(p.y, 10, 1e-4);
    delete image;
}

TEST_F(Drawing, MoveZAddsUpAndPositiveComesNearer) {
    Texture* image = loaded();
    image->useGlobalMatrix();
    imageMoveZ(0.5f);
    imageMoveZ(0.25f);
    image->draw();
    EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).z, -0.75f);
    delete image;
}

TEST_F(Drawing, GlobalMatrixIsUploadedOncePerChange) {
    Texture* a = loaded();
    Texture* b = loaded();
    a->useGlobalMatrix();
    b->useGlobalMatrix();

    a->draw();
    b->draw();
    EXPECT_LE(device.count("SetTransform(WORLD)"), 1);
    EXPECT_EQ(device.count("SetTexture"), 1);
    EXPECT_EQ(device.count("SetStreamSource"), 1);
    EXPECT_EQ(device.count("DrawPrimitive"), 2);

    device.calls.clear();
    imageMove(10, 0);
    a->draw();
    b->draw();
    EXPECT_EQ(device.count("SetTransform(WORLD)"), 1);
    delete a;
    delete b;
}

TEST_F(Drawing, WorldMatrixIsSentOncePerChangeOfOwner) {
    Texture* placed = loaded();
    Texture* global = loaded();
    placed->setPosition(50, 0);
    global->useGlobalMatrix();
    for (int i = 0; i < 3; ++i) {
        placed->draw();
        EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).x, 50);
        global->draw();
        EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).x, 0);
    }
    EXPECT_EQ(device.count("SetTransform(WORLD)"), 6);
    device.calls.clear();
    placed->draw();
    placed->draw();
    EXPECT_EQ(device.count("SetTransform(WORLD)"), 1);
    delete placed;
    delete global;
}

TEST_F(Drawing, ImageAtAFreedImagesAddressIsStillUploaded) {
    for (int i = 1; i <= 20; ++i) {
        Texture* moved = loaded();
        moved->move(static_cast<float>(i), 0);
        moved->draw();
        delete moved;
        // Likely allocated where the freed one was; its identity matrix was never uploaded.
        Texture* fresh = loaded();
        device.worldMatrices.clear();
        fresh->draw();
        ASSERT_EQ(device.worldMatrices.size(), 1u) << "round " << i;
        EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).x, 0);
        delete fresh;
    }
}

TEST_F(Drawing, AutomaticTransformTurnsThenScalesThenMoves) {
    Texture* image = loaded();
    image->setScale(2, 1);
    image->setRotation(1.5708f);
    image->setPosition(10, 20);
    image->draw();
    // The picture's right edge midpoint (16, 0) turns to (0, 16) and keeps y: it is not stretched.
    Point right = apply(lastWorld(), 16, 0);
    EXPECT_NEAR(right.x, 10, 1e-3);
    EXPECT_NEAR(right.y, 36, 1e-3);
    // Its top edge midpoint (0, 8) turns to (-8, 0) and is stretched along the window's x.
    Point top = apply(lastWorld(), 0, 8);
    EXPECT_NEAR(top.x, 10 - 16, 1e-3);
    EXPECT_NEAR(top.y, 20, 1e-3);
    delete image;
}

TEST_F(Drawing, OwnMatrixStepsActInWindowCoordinates) {
    Texture* image = loaded();
    image->move(100, 0);
    image->rotate(static_cast<float>(M_PI / 2));
    image->draw();
    Point centre = apply(lastWorld(), 0, 0);
    EXPECT_NEAR(centre.x, 0, 1e-4);
    EXPECT_NEAR(centre.y, 100, 1e-4);
    image->scale(2);
    image->draw();
    EXPECT_NEAR(apply(lastWorld(), 0, 0).y, 200, 1e-4);
    delete image;
}

TEST_F(Drawing, PropertiesAndModes) {
    Texture* image = loaded();
    EXPECT_EQ(image->getX(), 0);
    EXPECT_EQ(image->getY(), 0);
    EXPECT_EQ(image->getRotation(), 0);
    EXPECT_EQ(image->getScaleX(), 1);
    EXPECT_EQ(image->getScaleY(), 1);
    EXPECT_EQ(image->getScale(), 1);

    image->setScale(2, 4);
    EXPECT_EQ(image->getScaleX(), 2);
    EXPECT_EQ(image->getScaleY(), 4);
    EXPECT_EQ(image->getScale(), 3);

    // useOwnMatrix then useAutomaticMatrix starts again from the centre.
    image->setPosition(70, 0);
    image->useOwnMatrix();
    EXPECT_EQ(image->getX(), 0);
    image->useAutomaticMatrix();
    image->draw();
    EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).x, 0);

    // Writing x from global mode returns to automatic mode and keeps y at 0 on a fresh transform.
    image->useGlobalMatrix();
    imageMove(300, 0);
    image->setX(25);
    image->draw();
    EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).x, 25);
    EXPECT_FLOAT_EQ(apply(lastWorld(), 0, 0).y, 0);

    Texture fresh;
    fresh.setScaleX(3);
    EXPECT_EQ(fresh.getScaleX(), 3);
    EXPECT_EQ(fresh.getScaleY(), 1);
    delete image;
}

TEST_F(Drawing, CacheMatchesPathsIgnoringAsciiCaseOnly) {
    Texture a, b, c;
    EXPECT_TRUE(a.load("ball.png"));
    EXPECT_TRUE(b.load("Ball.PNG"));
    EXPECT_EQ(TextureCache::size(), 1u);
    EXPECT_EQ(TextureCache::find("./ball.png"), nullptr);
    EXPECT_EQ(TextureCache::find("ball.pn"), nullptr);
    EXPECT_EQ(TextureCache::find("ball.pngx"), nullptr);
    EXPECT_EQ(TextureCache::find("BALL.png")->useCount, 2);
}

TEST_F(Drawing, ImageWithoutPictureDrawsNothing) {
    Texture empty;
    empty.draw();
    EXPECT_EQ(device.calls.size(), 0u);
}

}  // namespace
