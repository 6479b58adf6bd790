// JPEG through the TurboJPEG API: baseline and progressive, grey, colour and CMYK.
#include "formats.h"

#include <turbojpeg.h>

namespace image {

static bool jpegClaims(const uint8_t* d, size_t size) {
    return size >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
}

// Segments are walked up to the first scan; the scan data must then be followed by EOI.
static bool jpegComplete(const uint8_t* d, size_t size) {
    size_t pos = 2;
    for (;;) {
        if (pos >= size || d[pos] != 0xFF) return false;
        while (pos < size && d[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= size) return false;
        uint8_t marker = d[pos++];
        if (marker == 0xD9) return false;  // an image that ends before any scan
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
        if (pos + 2 > size) return false;
        size_t len = (size_t(d[pos]) << 8) | d[pos + 1];
        if (len < 2 || pos + len > size) return false;
        pos += len;
        if (marker == 0xDA) break;
    }
    // Inside entropy-coded data 0xFF is always followed by 0x00 or a restart marker,
    // so the first FF D9 is the real end of the image.
    for (; pos + 1 < size; ++pos)
        if (d[pos] == 0xFF && d[pos + 1] == 0xD9) return true;
    return false;
}

struct JpegHeader {
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
};

static bool jpegHeader(tjhandle tj, const uint8_t* d, size_t size, JpegHeader* hd) {
    return tjDecompressHeader3(tj, d, static_cast<unsigned long>(size), &hd->width, &hd->height,
                               &hd->subsampling, &hd->colourspace) == 0 &&
           hd->width > 0 && hd->height > 0;
}

static bool jpegSize(const uint8_t* d, size_t size, uint32_t* w, uint32_t* h) {
    tjhandle tj = tjInitDecompress();
    if (!tj) return false;
    JpegHeader hd;
    bool ok = jpegHeader(tj, d, size, &hd);
    tjDestroy(tj);
    *w = uint32_t(hd.width);
    *h = uint32_t(hd.height);
    return ok;
}

// CMYK JPEGs are written the Adobe way, with inverted ink values, so each byte is already
// 255 minus the ink; the colour is then C * K / 255 per channel.
static void cmykToRgba(uint8_t* px, size_t count) {
    for (size_t i = 0; i < count; ++i, px += 4) {
        unsigned k = px[3];
        px[0] = uint8_t((px[0] * k + 127) / 255);
        px[1] = uint8_t((px[1] * k + 127) / 255);
        px[2] = uint8_t((px[2] * k + 127) / 255);
        px[3] = 255;
    }
}

// A warning (damaged or missing data, filled in grey by libjpeg) fails the load like an
// error; the scan limit keeps a crafted progressive file from taking minutes.
static bool jpegDecode(const uint8_t* d, size_t size, uint32_t w, uint32_t h, uint8_t* rgba) {
    tjhandle tj = tjInitDecompress();
    if (!tj) return false;
    JpegHeader hd;
    bool ok = jpegHeader(tj, d, size, &hd) && uint32_t(hd.width) == w && uint32_t(hd.height) == h;
    bool cmyk = hd.colourspace == TJCS_CMYK || hd.colourspace == TJCS_YCCK;
    ok = ok && tjDecompress2(tj, d, static_cast<unsigned long>(size), rgba, hd.width, 0, hd.height,
                             cmyk ? TJPF_CMYK : TJPF_RGBA, TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS) == 0;
    tjDestroy(tj);
    if (ok && cmyk) cmykToRgba(rgba, size_t(w) * h);
    return ok;
}

const Format kJpegFormat = {jpegClaims, jpegComplete, jpegSize, jpegDecode};

}  // namespace image
