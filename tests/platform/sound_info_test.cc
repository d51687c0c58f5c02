// Sound-file headers: CAF, RIFF/WAVE and AIFF/AIFC files built here byte by byte, then broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/aiff.h"
#include "platform/audio/caf.h"
#include "platform/audio/wave.h"
#include "tests/scratch_folder.h"

namespace qv::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Appends tags, zeros and integers of a width, big-endian unless `little`.
struct Writer {
  bool little = false;
  Bytes out = {};
  Writer& tag(std::string_view t) {
    out.insert(out.end(), t.begin(), t.end());
    return *this;
  }
  Writer& n(std::uint64_t v, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * (little ? i : width - 1 - i))));
    return *this;
  }
  Writer& zeros(std::size_t count) {
    out.insert(out.end(), count, 0);
    return *this;
  }
  Writer& extended80(double value) {
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);  // value = fraction * 2^exponent, 0.5 <= f < 1
    return n(static_cast<std::uint64_t>(exponent - 1 + 16383), 2).n(static_cast<std::uint64_t>(std::ldexp(fraction, 64)), 8);
  }
  Writer& bytes(const Bytes& b) {
    out.insert(out.end(), b.begin(), b.end());
    return *this;
  }
};

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
    Writer w;
    w.tag("caff").n(1, 2).n(0, 2).tag("desc").n(32, 8).n(std::bit_cast<std::uint64_t>(sampleRate), 8).tag(format).n(0, 4);
    for (std::uint32_t v : {bytesPerPacket, framesPerPacket, channels, bits}) w.n(v, 4);
    if (pakt) {
      w.tag("pakt").n(24, 8).n(static_cast<std::uint64_t>(pakt->packets), 8).n(static_cast<std::uint64_t>(pakt->valid), 8);
      w.n(static_cast<std::uint32_t>(pakt->priming), 4).n(static_cast<std::uint32_t>(pakt->remainder), 4);
    }
    // The data chunk opens with a 4-byte edit count.
    return w.tag("data").n(sizeToEndOfFile ? ~std::uint64_t{0} : audioBytes + 4, 8).n(0, 4).zeros(audioBytes).out;
  }
};

CafParts aacParts() {
  CafParts p;
  p.format = "aac ";
  p.bytesPerPacket = 0;
  p.framesPerPacket = 1024;
  p.sampleRate = 44100;
  p.pakt = CafParts::Pakt{10, 10 * 1024 - 2112 - 128, 2112, 128};
  return p;
}

template <class Change>
Bytes caf(Change change) {
  CafParts parts;
  change(parts);
  return parts.bytes();
}

Bytes waveFile(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t blockAlign,
               std::uint32_t dataBytes, std::optional<std::uint32_t> factFrames = std::nullopt) {
  Writer body{.little = true};
  body.tag("fmt ").n(16, 4).n(tag, 2).n(channels, 2).n(rate, 4).n(rate * blockAlign, 4).n(blockAlign, 2).n(16, 2);
  body.tag("LIST").n(3, 4).tag("abc").zeros(1);  // an odd-sized chunk the reader must step over, pad byte included
  if (factFrames) body.tag("fact").n(4, 4).n(*factFrames, 4);
  body.tag("data").n(dataBytes, 4).zeros(dataBytes);
  return Writer{.little = true}.tag("RIFF").n(body.out.size() + 4, 4).tag("WAVE").bytes(body.out).out;
}

Bytes aiffFile(bool aifc, std::string compression, std::uint16_t channels, std::uint32_t frames, double rate,
               std::uint32_t soundBytes) {
  Writer body;
  body.tag("COMM").n(aifc ? 24 : 18, 4).n(channels, 2).n(frames, 4).n(16, 2).extended80(rate);
  if (aifc) body.tag(compression).zeros(2);  // empty name, padded
  body.tag("SSND").n(soundBytes + 8, 4).zeros(8 + soundBytes);
  return Writer{}.tag("FORM").n(body.out.size() + 4, 4).tag(aifc ? "AIFC" : "AIFF").bytes(body.out).out;
}

// A copy of `b` with `with` written at `at`, or with its last `cut` bytes dropped.
Bytes patched(Bytes b, std::size_t at, std::string_view with) {
  std::copy(with.begin(), with.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  return b;
}
Bytes shortened(Bytes b, std::size_t cut) {
  b.resize(b.size() - cut);
  return b;
}

void expectErrorMentioning(const Result<SoundInfo>& r, const std::string& words) {
  ASSERT_FALSE(r.ok()) << "expected an error about " << words;
  EXPECT_NE(r.error().find(words), std::string::npos) << r.error();
}

TEST(AiffHeader, ExtendedSampleRatesDecodeExactly) {
  for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 11025.5}) {
    const Bytes encoded = Writer{}.extended80(rate).out;
    EXPECT_EQ(decodeExtended80(std::span<const std::uint8_t, 10>(encoded.data(), 10)), rate);
  }
  const std::uint8_t known44100[10] = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(decodeExtended80(known44100), 44100.0);
  const std::uint8_t infinity[10] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(decodeExtended80(infinity).has_value());
}

// Each row: a file the reader is given, and what its header says.
struct HeaderRow {
  const char* name;
  Result<SoundInfo> (*read)(std::span<const std::uint8_t>);
  Bytes file;
  std::uint64_t frames;
  int channels;
  double sampleRate;
  double durationSeconds;
};

void PrintTo(const HeaderRow& row, std::ostream* os) {
  *os << row.name;
}

class SoundLengths : public ::testing::TestWithParam<HeaderRow> {};

TEST_P(SoundLengths, FramesChannelsAndRateComeFromTheHeader) {
  const HeaderRow& row = GetParam();
  auto info = row.read(row.file);
  ASSERT_TRUE(info.ok()) << info.error();
  EXPECT_EQ(info->frames, row.frames);
  EXPECT_EQ(info->channels, row.channels);
  EXPECT_DOUBLE_EQ(info->sampleRate, row.sampleRate);
  EXPECT_DOUBLE_EQ(info->durationSeconds, row.durationSeconds);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(CafWaveAndAiff, SoundLengths, ::testing::Values(
    HeaderRow{"CafFromTheDataSize", readCafInfo, CafParts{}.bytes(), 11025, 1, 22050, 0.5},
    // A data size of -1 runs to the end of the file.
    HeaderRow{"CafDataRunningToTheEndOfTheFile", readCafInfo, caf([](CafParts& p) {
                p.sizeToEndOfFile = true;
                p.channels = 2;
                p.bytesPerPacket = 4;
                p.audioBytes = 4 * 441;
              }), 441, 2, 22050, 0.02},
    // Variable packets: valid frames from the 'pakt' chunk, without priming and remainder.
    HeaderRow{"CafFromThePacketTable", readCafInfo, aacParts().bytes(), 8000, 1, 44100, 8000.0 / 44100},
    HeaderRow{"WaveFromDataSizeAndAlignment", readWaveInfo, waveFile(1, 2, 44100, 4, 4 * 44100), 44100, 2, 44100, 1.0},
    HeaderRow{"WaveFromTheFactChunk", readWaveInfo, waveFile(0x11, 1, 8000, 256, 1024, 4000), 4000, 1, 8000, 0.5},
    HeaderRow{"AiffFromTheCommonChunk", readAiffInfo, aiffFile(false, "", 1, 22050, 44100, 2 * 22050), 22050, 1, 44100, 0.5},
    HeaderRow{"AifcUncompressed", readAiffInfo, aiffFile(true, "sowt", 2, 1000, 8000, 4 * 1000), 1000, 2, 8000, 0.125},
    HeaderRow{"AifcCompressed", readAiffInfo, aiffFile(true, "ima4", 1, 6400, 8000, 3400), 6400, 1, 8000, 0.8}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Crash safety on arbitrary bytes is the sound-file fuzzer's job; this pins what each reader says.
TEST(SoundHeaders, BrokenFilesAreErrorsThatSayWhatWasWrong) {
  const Bytes wave = waveFile(1, 1, 22050, 2, 200);
  const std::pair<Result<SoundInfo>, const char*> rows[] = {
      {readCafInfo(caf([](CafParts& p) { p.sampleRate = 0; })), "sample rate"},
      {readCafInfo(caf([](CafParts& p) { p.sampleRate = std::numeric_limits<double>::quiet_NaN(); })), "sample rate"},
      {readCafInfo(caf([](CafParts& p) { p.channels = 0; })), "channel count"},
      {readCafInfo(caf([](CafParts& p) { p.audioBytes = 101; })), "whole number"},
      {readCafInfo(caf([](CafParts& p) { p.bytesPerPacket = 0; })), "linear PCM"},
      {readCafInfo(caf([](CafParts& p) { p = aacParts();
        p.pakt->remainder = 100;
       })), "'pakt' frame counts"},
      {readCafInfo(caf([](CafParts& p) { p = aacParts();
        p.pakt.reset();
       })), "no 'pakt' chunk"},
      {readCafInfo(patched(CafParts{}.bytes(), 5, "\x02")), "version 2"},
      {readCafInfo(patched(CafParts{}.bytes(), 8, "free")), "expected 'desc'"},
      {readCafInfo(patched(CafParts{}.bytes(), 12, "\x80")), "negative size"},
      {readWaveInfo(shortened(wave, 1)), "RIFF size"},
      {readWaveInfo(patched(wave, wave.size() - 204, "\xFF")), "'data' chunk claims"},
      {readWaveInfo(waveFile(1, 1, 22050, 2, 201)), "whole number"},
      {readWaveInfo(waveFile(1, 0, 22050, 2, 200)), "channel count"},
      {readWaveInfo(waveFile(1, 1, 22050, 0, 200)), "alignment"},
      {readWaveInfo(waveFile(0x11, 1, 8000, 256, 1024)), "'fact'"},
      {readAiffInfo(aiffFile(false, "", 1, 22050, 44100, 2 * 22050 - 2)), "'SSND'"},
      {readAiffInfo(shortened(aiffFile(false, "", 1, 10, 44100, 20), 2)), "FORM size"},
  };
  for (const auto& [result, words] : rows) expectErrorMentioning(result, words);
  const Bytes small = caf([](CafParts& p) { p.audioBytes = 6; });
  for (std::size_t size = 0; size < small.size(); ++size) EXPECT_FALSE(readCafInfo(std::span(small.data(), size)).ok()) << size;
  EXPECT_TRUE(readCafInfo(small).ok());
}

class SoundFiles : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const Bytes& bytes) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
    return path;
  }
  ScratchFolder scratch{"qv-sound-files"};
  std::filesystem::path dir_{scratch.path()};
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
