// Loading, drawing and placing images.
#include "texture.h"

#include <cstdio>
#include <cstring>

#include "global_transform.h"
#include "transform_steps.h"
#include "texture_cache.h"

namespace {

// ORDER FVF: the parts in the order D3D lays out QUAD_FVF.
struct QuadVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

const UINT QUAD_BYTES = 4 * sizeof(QuadVertex);
const DWORD QUAD_FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// Centred on the origin, one unit per pixel; odd sizes lose a pixel (integer halves).
IDirect3DVertexBuffer9* createQuad(int width, int height) {
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (FAILED(renderState.device->CreateVertexBuffer(QUAD_BYTES, 0, QUAD_FVF, D3DPOOL_MANAGED, &buffer, nullptr)))
        return nullptr;
    void* data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &data, 0))) {
        buffer->Release();
        return nullptr;
    }
    const float hw = static_cast<float>(width >> 1);
    const float hh = static_cast<float>(height >> 1);
    const QuadVertex quad[4] = {
        {-hw, +hh, 0, 0, 0, -1, 0, 0},
        {+hw, +hh, 0, 0, 0, -1, 1, 0},
        {+hw, -hh, 0, 0, 0, -1, 1, 1},
        {-hw, -hh, 0, 0, 0, -1, 0, 1},
    };
    std::memcpy(data, quad, sizeof quad);
    buffer->Unlock();
    return buffer;
}

TextureEntry* loadEntry(const char* path) {
    D3DXIMAGE_INFO info = {};
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileExA(renderState.device, path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                            D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info,
                                            nullptr, &texture)))
        return nullptr;
    IDirect3DVertexBuffer9* quad = createQuad(static_cast<int>(info.Width), static_cast<int>(info.Height));
    if (!quad) {
        texture->Release();
        return nullptr;
    }
    return new TextureEntry{1, texture, quad, path, static_cast<int>(info.Width), static_cast<int>(info.Height)};
}

}  // namespace

AutomaticTransform::AutomaticTransform()
    : rotationMatrix(identityTransform()), scaleMatrix(identityTransform()), translationMatrix(identityTransform()),
      shapeMatrix(identityTransform()), changed(true), shapeChanged(true), x(0), y(0), scalex(1), scaley(1),
      rotation(0) {}

Texture::Texture()
    : automatic(nullptr), ownMatrix(identityTransform()), useGlobal(false), ownMatrixChanged(false), entry(nullptr) {
    TextureCache::ensure();
}

Texture::~Texture() {
    dropEntry();
    delete automatic;
    // A later image could be allocated at this address; it must not pass for uploaded.
    if (renderState.lastWorldMatrix == &ownMatrix)
        renderState.lastWorldMatrix = nullptr;
}

void Texture::dropEntry() {
    if (entry) {
        entry->useCount--;
        entry = nullptr;
    }
}

bool Texture::load(const char* path) {
    dropEntry();
    if (!path) {
        std::printf("Cannot load 'nil'\n");
        return false;
    }
    entry = TextureCache::find(path);
    if (entry) {
        entry->useCount++;
        return true;
    }
    entry = loadEntry(path);
    if (!entry) {
        std::printf("Cannot load '%s'\n", path);
        return false;
    }
    TextureCache::addFront(entry);
    return true;
}

void Texture::draw() {
    if (!entry)
        return;
    IDirect3DDevice9* device = renderState.device;
    if (entry->texture != renderState.lastTexture) {
        device->SetTexture(0, entry->texture);
        renderState.lastTexture = entry->texture;
    }
    if (entry->vertexBuffer != renderState.lastVertexBuffer) {
        device->SetStreamSource(0, entry->vertexBuffer, 0, sizeof(QuadVertex));
        renderState.lastVertexBuffer = entry->vertexBuffer;
    }
    if (useGlobal) {
        if (renderState.lastWorldMatrix != &renderState.globalMatrix || renderState.globalMatrixChanged)
            uploadGlobalMatrix();
    } else {
        uploadOwnMatrix();
    }
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
}

// Turned about its centre first, then scaled along the window's axes, then moved.
void Texture::uploadOwnMatrix() {
    if (automatic && automatic->changed) {
        if (automatic->shapeChanged) {
            D3DXMatrixMultiply(&automatic->shapeMatrix, &automatic->rotationMatrix, &automatic->scaleMatrix);
            automatic->shapeChanged = false;
        }
        D3DXMatrixMultiply(&ownMatrix, &automatic->shapeMatrix, &automatic->translationMatrix);
        automatic->changed = false;
        ownMatrixChanged = true;
    }
    if (renderState.lastWorldMatrix != &ownMatrix || ownMatrixChanged) {
        renderState.device->SetTransform(D3DTS_WORLD, &ownMatrix);
        renderState.lastWorldMatrix = &ownMatrix;
        ownMatrixChanged = false;
    }
}

void Texture::useGlobalMatrix() {
    useGlobal = true;
}

void Texture::useOwnMatrix() {
    useGlobal = false;
    delete automatic;
    automatic = nullptr;
}

void Texture::useAutomaticMatrix() {
    useGlobal = false;
    if (!automatic)
        automatic = new AutomaticTransform;
}

void Texture::reset() {
    if (automatic)
        *automatic = AutomaticTransform();
    ownMatrix = identityTransform();
    ownMatrixChanged = true;
}

void Texture::move(float x, float y) {
    D3DXMATRIX m;
    appendStep(ownMatrix, *D3DXMatrixTranslation(&m, x, y, 0));
    ownMatrixChanged = true;
}

void Texture::scale(float sx, float sy) {
    D3DXMATRIX m;
    appendStep(ownMatrix, *D3DXMatrixScaling(&m, sx, sy, 1));
    ownMatrixChanged = true;
}

void Texture::scale(float s) {
    scale(s, s);
}

void Texture::rotate(float angle) {
    D3DXMATRIX m;
    appendStep(ownMatrix, *D3DXMatrixRotationZ(&m, angle));
    ownMatrixChanged = true;
}

void Texture::setPosition(float x, float y) {
    useAutomaticMatrix();
    D3DXMatrixTranslation(&automatic->translationMatrix, x, y, 0);
    automatic->x = x;
    automatic->y = y;
    automatic->changed = true;
}

void Texture::setScale(float sx, float sy) {
    useAutomaticMatrix();
    D3DXMatrixScaling(&automatic->scaleMatrix, sx, sy, 1);
    automatic->scalex = sx;
    automatic->scaley = sy;
    automatic->changed = automatic->shapeChanged = true;
}

void Texture::setScale(float s) {
    setScale(s, s);
}

void Texture::setRotation(float angle) {
    useAutomaticMatrix();
    D3DXMatrixRotationZ(&automatic->rotationMatrix, angle);
    automatic->rotation = angle;
    automatic->changed = automatic->shapeChanged = true;
}

float Texture::getX() const { return automatic ? automatic->x : 0; }
float Texture::getY() const { return automatic ? automatic->y : 0; }
float Texture::getScaleX() const { return automatic ? automatic->scalex : 1; }
float Texture::getScaleY() const { return automatic ? automatic->scaley : 1; }
float Texture::getScale() const { return automatic ? (automatic->scalex + automatic->scaley) * 0.5f : 1; }
float Texture::getRotation() const { return automatic ? automatic->rotation : 0; }

// Writes switch to automatic mode first, so the kept component is read from a transform
// that exists: on a fresh image writing x gives position (v, 0).
void Texture::setX(float v) {
    useAutomaticMatrix();
    setPosition(v, automatic->y);
}

void Texture::setY(float v) {
    useAutomaticMatrix();
    setPosition(automatic->x, v);
}

void Texture::setScaleX(float v) {
    useAutomaticMatrix();
    setScale(v, automatic->scaley);
}

void Texture::setScaleY(float v) {
    useAutomaticMatrix();
    setScale(automatic->scalex, v);
}

void Texture::setRotationProperty(float v) {
    setRotation(v);
}

void Texture::setScaleProperty(float v) {
    setScale(v);
}
