// WAV files built byte by byte: what decodes, to which samples, and what is refused.
#include "decode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char(v >> (8 * i));
    return s;
}

std::string chunk(const std::string& id, const std::string& body) {
    return id + le(uint32_t(body.size()), 4) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

std::string fmt(int channels, int rate, int bits, int format = 1) {
    return chunk("fmt ", le(format, 2) + le(channels, 2) + le(rate, 4) + le(rate * channels * bits / 8, 4) +
                             le(channels * bits / 8, 2) + le(bits, 2));
}

std::string riff(const std::string& chunks) { return "RIFF" + le(uint32_t(chunks.size() + 4), 4) + "WAVE" + chunks; }

bool decode(const std::string& file, sound::Pcm* pcm) {
    return sound::decode(reinterpret_cast<const uint8_t*>(file.data()), file.size(), pcm);
}

TEST(Wav, SamplesOfEightAndSixteenBitsPastUnknownOddChunks) {
    sound::Pcm pcm;
    ASSERT_TRUE(decode(riff(chunk("LIST", "odd") + fmt(1, 8000, 8) + chunk("data", std::string("\x80\xff\0", 3))), &pcm));
    EXPECT_EQ(pcm.rate, 8000);
    EXPECT_EQ(pcm.channels, 1);
    EXPECT_EQ(pcm.samples, (std::vector<int16_t>{0, 127 * 256, -128 * 256}));
    ASSERT_TRUE(decode(riff(fmt(2, 44100, 16) + chunk("data", le(0x1234, 2) + le(0xFFFE, 2) + "\x01")), &pcm));
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.samples, (std::vector<int16_t>{0x1234, -2}));  // the odd byte is no whole frame
}

TEST(Wav, OtherEncodingsLayoutsAndCutFilesAreRefused) {
    sound::Pcm pcm;
    std::string data = chunk("data", std::string(8, '\0'));
    for (const std::string& file : {riff(fmt(1, 8000, 16, 3) + data),  // float samples
                                    riff(fmt(3, 8000, 16) + data), riff(fmt(1, 8000, 24) + data),
                                    riff(fmt(1, 10, 16) + data), riff(data + fmt(1, 8000, 16)),
                                    riff(fmt(1, 8000, 16) + data).substr(0, 50), riff(fmt(1, 8000, 16)),
                                    std::string("RIFX") + riff(data).substr(4)})
        EXPECT_FALSE(decode(file, &pcm)) << file.size();
}

}  // namespace
