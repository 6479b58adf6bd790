// The global matrix that places every image in global-matrix mode, and its upload.
#ifndef RENDER_GLOBAL_TRANSFORM_H
#define RENDER_GLOBAL_TRANSFORM_H

#include "render_state.h"

// Identity matrix, marked as what the device holds.
void resetGlobalTransform();
void uploadGlobalMatrix();

void imageReset();
void imageMove(float x, float y);
void imageMoveZ(float z);
void imageScale(float sx, float sy);
void imagePreScale(float sx, float sy);
void imageRotate(float angle);

#endif
