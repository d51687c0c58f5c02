// Sound-file headers: CAF, RIFF/WAVE and AIFF/AIFC files built here byte by byte, then broken.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "platform/audio/aiff.h"
#include "platform/audio/caf.h"
#include "platform/audio/wave.h"

namespace qv::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

void putTag(Bytes& out, std::string_view tag) {
  out.insert(out.end(), tag.begin(), tag.end());
}
void putBE(Bytes& out, std::uint64_t v, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putLE(Bytes& out, std::uint64_t v, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putExtended80(Bytes& out, double value) {
  int exponent = 0;
  double fraction = std::frexp(value, &exponent);  // value = fraction * 2^exponent, 0.5 <= f < 1
  putBE(out, static_cast<std::uint64_t>(exponent - 1 + 16383), 2);
  putBE(out, static_cast<std::uint64_t>(std::ldexp(fraction, 64)), 8);
}

struct CafParts {
  double sampleRate = 22050;
  std::string format = "lpcm";
  std::uint32_t bytesPerPacket = 2, framesPerPacket = 1, channels = 1, bits = 16;
  std::uint64_t audioBytes = 22050;
  bool sizeToEndOfFile = false;
  struct Pakt {
    std::int64_t packets, valid;
    std::int32_t priming, remainder;
  };
  std::optional<Pakt> pakt;

  Bytes bytes() const {
    Bytes out;
    putTag(out, "caff");
    putBE(out, 1, 2);
    putBE(out, 0, 2);
    putTag(out, "desc");
    putBE(out, 32, 8);
    putBE(out, std::bit_cast<std::uint64_t>(sampleRate), 8);
    putTag(out, format);
    putBE(out, 0, 4);
    for (std::uint32_t v : {bytesPerPacket, framesPerPacket, channels, bits}) putBE(out, v, 4);
    if (pakt) {
      putTag(out, "pakt");
      putBE(out, 24, 8);
      putBE(out, static_cast<std::uint64_t>(pakt->packets), 8);
      putBE(out, static_cast<std::uint64_t>(pakt->valid), 8);
      putBE(out, static_cast<std::uint32_t>(pakt->priming), 4);
      putBE(out, static_cast<std::uint32_t>(pakt->remainder), 4);
    }
    putTag(out, "data");
    putBE(out, sizeToEndOfFile ? ~std::uint64_t{0} : audioBytes + 4, 8);
    putBE(out, 0, 4);  // edit count
    out.insert(out.end(), audioBytes, 0);
    return out;
  }
};

Bytes waveFile(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
               std::uint16_t blockAlign, std::uint32_t dataBytes,
               std::optional<std::uint32_t> factFrames = std::nullopt) {
  Bytes body;
  putTag(body, "fmt ");
  putLE(body, 16, 4);
  putLE(body, tag, 2);
  putLE(body, channels, 2);
  putLE(body, rate, 4);
  putLE(body, rate * blockAlign, 4);
  putLE(body, blockAlign, 2);
  putLE(body, 16, 2);
  putTag(body, "LIST");  // an odd-sized chunk the reader must step over, pad byte included
  putLE(body, 3, 4);
  body.insert(body.end(), {'a', 'b', 'c', 0});
  if (factFrames) {
    putTag(body, "fact");
    putLE(body, 4, 4);
    putLE(body, *factFrames, 4);
  }
  putTag(body, "data");
  putLE(body, dataBytes, 4);
  body.insert(body.end(), dataBytes, 0);
  Bytes out;
  putTag(out, "RIFF");
  putLE(out, body.size() + 4, 4);
  putTag(out, "WAVE");
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes aiffFile(bool aifc, std::string compression, std::uint16_t channels, std::uint32_t frames,
               double rate, std::uint32_t soundBytes) {
  Bytes body;
  putTag(body, "COMM");
  putBE(body, aifc ? 24 : 18, 4);
  putBE(body, channels, 2);
  putBE(body, frames, 4);
  putBE(body, 16, 2);
  putExtended80(body, rate);
  if (aifc) {
    putTag(body, compression);
    body.insert(body.end(), {0, 0});  // empty name, padded
  }
  putTag(body, "SSND");
  putBE(body, soundBytes + 8, 4);
  putBE(body, 0, 8);
  body.insert(body.end(), soundBytes, 0);
  Bytes out;
  putTag(out, "FORM");
  putBE(out, body.size() + 4, 4);
  putTag(out, aifc ? "AIFC" : "AIFF");
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

void expectErrorMentioning(const Result<SoundInfo>& r, const std::string& words) {
  ASSERT_FALSE(r.ok()) << "expected an error about " << words;
  EXPECT_NE(r.error().find(words), std::string::npos) << r.error();
}

class CafHeader : public ::testing::Test {};

TEST_F(CafHeader, LinearPcmLengthComesFromTheDataSize) {
  CafParts parts;
  auto info = readCafInfo(parts.bytes());
  ASSERT_TRUE(info.ok()) << info.error();
  EXPECT_EQ(info->frames, 11025u);
  EXPECT_EQ(info->channels, 1);
  EXPECT_DOUBLE_EQ(info->sampleRate, 22050);
  EXPECT_DOUBLE_EQ(info->durationSeconds, 0.5);
}

TEST_F(CafHeader, DataSizeMinusOneRunsToTheEndOfTheFile) {
  CafParts parts;
  parts.sizeToEndOfFile = true;
  parts.channels = 2;
  parts.bytesPerPacket = 4;
  parts.audioBytes = 4 * 441;
  auto info = readCafInfo(parts.bytes());
  ASSERT_TRUE(info.ok()) << info.error();
  EXPECT_EQ(info->frames, 441u);
}

TEST_F(CafHeader, VariablePacketFormatsTakeTheirLengthFromThePacketTable) {
  CafParts parts;
  parts.format = "aac ";
  parts.bytesPerPacket = 0;
  parts.framesPerPacket = 1024;
  parts.sampleRate = 44100;
  parts.pakt = CafParts::Pakt{10, 10 * 1024 - 2112 - 128, 2112, 128};
  auto info = readCafInfo(parts.bytes());
  ASSERT_TRUE(info.ok()) << info.error();
  EXPECT_EQ(info->frames, 8000u);

  parts.pakt->remainder = 100;
  expectErrorMentioning(readCafInfo(parts.bytes()), "'pakt' frame counts");
  parts.pakt.reset();
  expectErrorMentioning(readCafInfo(parts.bytes()), "no 'pakt' chunk");
}

TEST_F(CafHeader, InconsistentDescriptionsAreRejected) {
  CafParts zeroRate;
  zeroRate.sampleRate = 0;
  expectErrorMentioning(readCafInfo(zeroRate.bytes()), "sample rate");
  CafParts nanRate;
  nanRate.sampleRate = std::numeric_limits<double>::quiet_NaN();
  expectErrorMentioning(readCafInfo(nanRate.bytes()), "sample rate");
  CafParts noChannels;
  noChannels.channels = 0;
  expectErrorMentioning(readCafInfo(noChannels.bytes()), "channel count");
  CafParts halfPacket;
  halfPacket.audioBytes = 101;
  expectErrorMentioning(readCafInfo(halfPacket.bytes()), "whole number");
  CafParts variablePcm;
  variablePcm.bytesPerPacket = 0;
  expectErrorMentioning(readCafInfo(variablePcm.bytes()), "linear PCM");
}

TEST_F(CafHeader, BrokenStructureIsNamed) {
  Bytes wrongVersion = CafParts{}.bytes();
  wrongVersion[5] = 2;
  expectErrorMentioning(readCafInfo(wrongVersion), "version 2");
  Bytes dataFirst = CafParts{}.bytes();
  std::copy_n("free", 4, dataFirst.begin() + 8);
  expectErrorMentioning(readCafInfo(dataFirst), "expected 'desc'");
  Bytes negativeSize = CafParts{}.bytes();
  negativeSize[8 + 4] = 0x80;
  expectErrorMentioning(readCafInfo(negativeSize), "negative size");
}

TEST_F(CafHeader, EveryTruncationIsAnError) {
  CafParts small;
  small.audioBytes = 6;
  Bytes file = small.bytes();
  for (std::size_t size = 0; size < file.size(); ++size) {
    EXPECT_FALSE(readCafInfo(std::span(file.data(), size)).ok()) << size << " bytes";
  }
  EXPECT_TRUE(readCafInfo(file).ok());
}

class WaveHeader : public ::testing::Test {};

TEST_F(WaveHeader, PcmLengthComesFromDataSizeAndBlockAlignment) {
  auto info = readWaveInfo(waveFile(1, 2, 44100, 4, 4 * 44100));
  ASSERT_TRUE(info.ok()) << info.error();
  EXPECT_EQ(info->frames, 44100u);
  EXPECT_EQ(info->channels, 2);
  EXPECT_DOUBLE_EQ(info->durationSeconds, 1.0);
}

TEST_F(WaveHeader, CompressedEncodingsNeedAFactChunk) {
  auto withFact = readWaveInfo(waveFile(0x11, 1, 8000, 256, 1024, 4000));
  ASSERT_TRUE(withFact.ok()) << withFact.error();
  EXPECT_EQ(withFact->frames, 4000u);
  expectErrorMentioning(readWaveInfo(waveFile(0x11, 1, 8000, 256, 1024)), "'fact'");
}

TEST_F(WaveHeader, TruncatedOrInconsistentFilesAreRejected) {
  Bytes file = waveFile(1, 1, 22050, 2, 200);
  expectErrorMentioning(readWaveInfo(std::span(file.data(), file.size() - 1)), "RIFF size");
  Bytes lyingData = file;
  lyingData[lyingData.size() - 200 - 4] = 0xFF;  // 'data' now claims more than the file holds
  expectErrorMentioning(readWaveInfo(lyingData), "'data' chunk claims");
  expectErrorMentioning(readWaveInfo(waveFile(1, 1, 22050, 2, 201)), "whole number");
  expectErrorMentioning(readWaveInfo(waveFile(1, 0, 22050, 2, 200)), "channel count");
  expectErrorMentioning(readWaveInfo(waveFile(1, 1, 22050, 0, 200)), "alignment");
}

class AiffHeader : public ::testing::Test {};

TEST_F(AiffHeader, ExtendedSampleRatesDecodeExactly) {
  for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 11025.5}) {
    Bytes encoded;
    putExtended80(encoded, rate);
    EXPECT_EQ(decodeExtended80(std::span<const std::uint8_t, 10>(encoded.data(), 10)), rate);
  }
  const std::uint8_t known44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(decodeExtended80(known44100), 44100.0);
  const std::uint8_t infinity[10] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(decodeExtended80(infinity).has_value());
}

TEST_F(AiffHeader, FrameCountComesFromTheCommonChunk) {
  auto aiff = readAiffInfo(aiffFile(false, "", 1, 22050, 44100, 2 * 22050));
  ASSERT_TRUE(aiff.ok()) << aiff.error();
  EXPECT_EQ(aiff->frames, 22050u);
  EXPECT_DOUBLE_EQ(aiff->durationSeconds, 0.5);
  auto aifc = readAiffInfo(aiffFile(true, "sowt", 2, 1000, 8000, 4 * 1000));
  ASSERT_TRUE(aifc.ok()) << aifc.error();
  EXPECT_EQ(aifc->channels, 2);
  auto compressed = readAiffInfo(aiffFile(true, "ima4", 1, 6400, 8000, 3400));
  ASSERT_TRUE(compressed.ok()) << compressed.error();
}

TEST_F(AiffHeader, SoundDataShorterThanPromisedIsRejected) {
  expectErrorMentioning(readAiffInfo(aiffFile(false, "", 1, 22050, 44100, 2 * 22050 - 2)),
                        "'SSND'");
  Bytes file = aiffFile(false, "", 1, 10, 44100, 20);
  expectErrorMentioning(readAiffInfo(std::span(file.data(), file.size() - 2)), "FORM size");
}

class SoundFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / "qv_sound_files_test";
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string write(const std::string& name, const Bytes& bytes) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(SoundFiles, KindComesFromTheOpeningTagAndErrorsNameTheFile) {
  auto wave = readSoundFile(write("looks like.caf", waveFile(1, 1, 22050, 2, 2 * 2205)));
  ASSERT_TRUE(wave.ok()) << wave.error();
  EXPECT_DOUBLE_EQ(wave->durationSeconds, 0.1);
  std::string text = write("notes.caf", Bytes{'h', 'e', 'l', 'l', 'o'});
  expectErrorMentioning(readSoundFile(text), text);
  expectErrorMentioning(readSoundFile(text), "not a sound file");
  expectErrorMentioning(readSoundFile((dir_ / "missing.caf").string()), "missing.caf");
}

}  // namespace
}  // namespace qv::audio
