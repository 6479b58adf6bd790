// The global matrix: steps compose on the right (after), pre-scales on the left (before).
#include "global_transform.h"

#include "transform_steps.h"

void resetGlobalTransform() {
    renderState.globalMatrix = identityTransform();
    renderState.lastWorldMatrix = &renderState.globalMatrix;
    renderState.globalMatrixChanged = false;
}

void uploadGlobalMatrix() {
    renderState.lastWorldMatrix = &renderState.globalMatrix;
    renderState.globalMatrixChanged = false;
    renderState.device->SetTransform(D3DTS_WORLD, &renderState.globalMatrix);
}

namespace {

void appendGlobal(const D3DXMATRIX& step) {
    appendStep(renderState.globalMatrix, step);
    renderState.globalMatrixChanged = true;
}

}  // namespace

void imageReset() {
    renderState.globalMatrix = identityTransform();
    renderState.globalMatrixChanged = true;
}

void imageMove(float x, float y) {
    D3DXMATRIX m;
    appendGlobal(*D3DXMatrixTranslation(&m, x, y, 0));
}

// Positive z comes nearer the viewer.
void imageMoveZ(float z) {
    D3DXMATRIX m;
    appendGlobal(*D3DXMatrixTranslation(&m, 0, 0, -z));
}

void imageScale(float sx, float sy) {
    D3DXMATRIX m;
    appendGlobal(*D3DXMatrixScaling(&m, sx, sy, 1));
}

void imagePreScale(float sx, float sy) {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, sx, sy, 1);
    D3DXMatrixMultiply(&renderState.globalMatrix, &m, &renderState.globalMatrix);
    renderState.globalMatrixChanged = true;
}

void imageRotate(float angle) {
    D3DXMATRIX m;
    appendGlobal(*D3DXMatrixRotationZ(&m, angle));
}
