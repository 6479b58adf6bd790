// A device that records the calls made on it, for tests of what reaches the device.
#ifndef TESTS_RECORDING_DEVICE_H
#define TESTS_RECORDING_DEVICE_H

#include <cstring>
#include <string>
#include <vector>

#include "d3d9.h"

class RecordingDevice : public IDirect3DDevice9 {
public:
    std::vector<std::string> calls;
    std::vector<D3DMATRIX> worldMatrices;  // every world transform set, in order
    int refs = 1;

    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }  // owned by the test, never freed here

    int count(const std::string& name) const {
        int n = 0;
        for (const std::string& c : calls)
            n += c == name;
        return n;
    }

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m) override {
        calls.push_back(state == D3DTS_WORLD ? "SetTransform(WORLD)" : "SetTransform");
        if (state == D3DTS_WORLD)
            worldMatrices.push_back(*m);
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return record("SetRenderState"); }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override {
        return record("SetTextureStageState");
    }
    HRESULT SetVertexShader(IDirect3DVertexShader9*) override { return record("SetVertexShader"); }
    HRESULT SetFVF(DWORD) override { return record("SetFVF"); }
    HRESULT SetMaterial(const D3DMATERIAL9* material) override {
        lastMaterial = *material;
        return record("SetMaterial");
    }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return record("Clear"); }
    HRESULT BeginScene() override { return record("BeginScene"); }
    HRESULT EndScene() override { return record("EndScene"); }
    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override { return record("Present"); }
    HRESULT CreateVertexBuffer(UINT length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** out, HANDLE*) override {
        record("CreateVertexBuffer");
        *out = new Buffer(length);
        return D3D_OK;
    }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture9*) override { return record("SetTexture"); }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override {
        return record("SetStreamSource");
    }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return record("DrawPrimitive"); }

    D3DMATERIAL9 lastMaterial = {};

private:
    HRESULT record(const char* name) {
        calls.push_back(name);
        return D3D_OK;
    }

    struct Buffer : IDirect3DVertexBuffer9 {
        explicit Buffer(UINT length) : bytes(length) {}
        ULONG AddRef() override { return ++refs; }
        ULONG Release() override {
            ULONG left = --refs;
            if (!left)
                delete this;
            return left;
        }
        HRESULT Lock(UINT, UINT, void** data, DWORD) override {
            *data = bytes.data();
            return D3D_OK;
        }
        HRESULT Unlock() override { return D3D_OK; }
        std::vector<unsigned char> bytes;
        ULONG refs = 1;
    };
};

#endif
