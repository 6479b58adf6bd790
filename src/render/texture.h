// An image: a picture from a file drawn as one quad, placed by one of three matrices.
#ifndef RENDER_TEXTURE_H
#define RENDER_TEXTURE_H

#include "d3dx9.h"

struct TextureEntry;

// Position, scale and rotation from which an image's own matrix is rebuilt.
struct AutomaticTransform {
    AutomaticTransform();

    D3DXMATRIX rotationMatrix;
    D3DXMATRIX scaleMatrix;
    D3DXMATRIX translationMatrix;
    D3DXMATRIX shapeMatrix;  // rotation x scale, kept while only the position changes
    bool changed;            // since ownMatrix was last rebuilt
    bool shapeChanged;       // since shapeMatrix was last rebuilt
    float x, y;
    float scalex, scaley;
    float rotation;
};

class Texture {
public:
    Texture();
    virtual ~Texture();

    bool load(const char* path);
    void draw();

    void useGlobalMatrix();
    void useOwnMatrix();
    void useAutomaticMatrix();
    void reset();

    void move(float x, float y);
    void scale(float sx, float sy);
    void scale(float s);
    void rotate(float angle);

    void setPosition(float x, float y);
    void setScale(float sx, float sy);
    void setScale(float s);
    void setRotation(float angle);

    float getX() const;
    float getY() const;
    float getScaleX() const;
    float getScaleY() const;
    float getScale() const;
    float getRotation() const;
    void setX(float v);
    void setY(float v);
    void setScaleX(float v);
    void setScaleY(float v);
    void setRotationProperty(float v);
    void setScaleProperty(float v);

private:
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    void dropEntry();
    void uploadOwnMatrix();

    AutomaticTransform* automatic;  // present in automatic mode (and kept in global mode)
    D3DXMATRIX ownMatrix;
    bool useGlobal;
    bool ownMatrixChanged;  // since it was last uploaded
    TextureEntry* entry;
};

#endif
