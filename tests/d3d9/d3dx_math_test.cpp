// D3DX matrix helpers: definitions, composition order and aliasing, no window needed.
#include "d3dx9.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Applies m to the row vector (x, y, z, 1).
void transform(const D3DXMATRIX& m, float x, float y, float z, float out[4]) {
    float v[4] = {x, y, z, 1.f};
    for (int j = 0; j < 4; ++j) out[j] = v[0] * m.m[0][j] + v[1] * m.m[1][j] + v[2] * m.m[2][j] + v[3] * m.m[3][j];
}

void expectMatrix(const D3DXMATRIX& m, const float (&want)[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.m[i][j], want[i][j], 1e-6f) << "row " << i << " col " << j;
}

TEST(D3dxMath, OrthoLH) {
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixOrthoLH(&m, 800, 600, -1, 1), &m);
    const float want[4][4] = {{2.f / 800, 0, 0, 0}, {0, 2.f / 600, 0, 0}, {0, 0, 0.5f, 0}, {0, 0, 0.5f, 1}};
    expectMatrix(m, want);
    float p[4];
    transform(m, 400, -300, -1, p);
    EXPECT_NEAR(p[0], 1.f, 1e-6f);
    EXPECT_NEAR(p[1], -1.f, 1e-6f);
    EXPECT_NEAR(p[2], 0.f, 1e-6f);
    transform(m, 0, 0, 1, p);
    EXPECT_NEAR(p[2], 1.f, 1e-6f);
    EXPECT_NEAR(p[3], 1.f, 1e-6f);
}

TEST(D3dxMath, OrthoLHGeneralDepthRange) {
    D3DXMATRIX m;
    D3DXMatrixOrthoLH(&m, 2, 4, 1, 11);
    const float want[4][4] = {{1, 0, 0, 0}, {0, 0.5f, 0, 0}, {0, 0, 0.1f, 0}, {0, 0, -0.1f, 1}};
    expectMatrix(m, want);
}

TEST(D3dxMath, TranslationIsInTheFourthRow) {
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixTranslation(&m, 3, -4, 5), &m);
    const float want[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {3, -4, 5, 1}};
    expectMatrix(m, want);
}

TEST(D3dxMath, Scaling) {
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixScaling(&m, 2, -3, 0.5f), &m);
    const float want[4][4] = {{2, 0, 0, 0}, {0, -3, 0, 0}, {0, 0, 0.5f, 0}, {0, 0, 0, 1}};
    expectMatrix(m, want);
}

TEST(D3dxMath, RotationZ) {
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    D3DXMATRIX m;
    EXPECT_EQ(D3DXMatrixRotationZ(&m, a), &m);
    const float want[4][4] = {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    expectMatrix(m, want);
    // A quarter turn takes +x to +y: counter-clockwise with y up.
    D3DXMatrixRotationZ(&m, float(M_PI / 2));
    float p[4];
    transform(m, 1, 0, 0, p);
    EXPECT_NEAR(p[0], 0.f, 1e-6f);
    EXPECT_NEAR(p[1], 1.f, 1e-6f);
}

TEST(D3dxMath, MultiplyFirstOperandActsFirst) {
    D3DXMATRIX scale, move, sm, ms;
    D3DXMatrixScaling(&scale, 2, 2, 1);
    D3DXMatrixTranslation(&move, 10, 0, 0);
    EXPECT_EQ(D3DXMatrixMultiply(&sm, &scale, &move), &sm);
    D3DXMatrixMultiply(&ms, &move, &scale);
    float p[4];
    transform(sm, 1, 1, 0, p);  // scaled, then moved
    EXPECT_FLOAT_EQ(p[0], 12.f);
    EXPECT_FLOAT_EQ(p[1], 2.f);
    transform(ms, 1, 1, 0, p);  // moved, then scaled
    EXPECT_FLOAT_EQ(p[0], 22.f);
    EXPECT_FLOAT_EQ(p[1], 2.f);
}

TEST(D3dxMath, MultiplyGeneralProduct) {
    D3DXMATRIX a, b, r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            a.m[i][j] = float(i * 4 + j);
            b.m[i][j] = float((i + 1) * (j + 2) % 7) - 3.f;
        }
    D3DXMatrixMultiply(&r, &a, &b);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float want = 0;
            for (int k = 0; k < 4; ++k) want += a.m[i][k] * b.m[k][j];
            EXPECT_FLOAT_EQ(r.m[i][j], want);
        }
}

TEST(D3dxMath, MultiplyAllowsAliasing) {
    D3DXMATRIX rot, move, want, a, b, c;
    D3DXMatrixRotationZ(&rot, 0.7f);
    D3DXMatrixTranslation(&move, 5, 6, 7);
    D3DXMatrixMultiply(&want, &rot, &move);

    a = rot;
    EXPECT_EQ(D3DXMatrixMultiply(&a, &a, &move), &a);  // output is the first input
    b = move;
    D3DXMatrixMultiply(&b, &rot, &b);  // output is the second input
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_FLOAT_EQ(a.m[i][j], want.m[i][j]);
            EXPECT_FLOAT_EQ(b.m[i][j], want.m[i][j]);
        }

    c = rot;
    D3DXMATRIX square;
    D3DXMatrixMultiply(&square, &rot, &rot);
    D3DXMatrixMultiply(&c, &c, &c);  // all three the same
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(c.m[i][j], square.m[i][j]);
}

}  // namespace
