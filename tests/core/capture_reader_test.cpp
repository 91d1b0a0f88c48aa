#include "core/capture/capture_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "tests/support/test_support.h"

namespace taloran {
namespace {

// The frame these tests read into and render from.
FrameStore& Store() {
  static const std::unique_ptr<FrameStore> frame = test::NewFrameStore();
  return *frame;
}

using test::Snapshot;
using test::TempDir;

std::uint16_t ReadIntoStore(const std::filesystem::path& path, std::uint16_t fourLayer = 0) {
  FrameStore& s = Store();
  return ReadCapture(path, s.blue, s.green, s.red, s.nir, fourLayer, s.metadata);
}

std::size_t PlaneAt(std::size_t row, std::size_t column) { return row * kFrameWidth + column; }

void PutBe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Where the encoder puts directory entry k, and the StripOffsets entry (the sixth).
constexpr std::size_t EntryAt(std::size_t k) { return kSampleIfdOffset + 2 + 12 * k; }
constexpr std::size_t kStripEntry = EntryAt(5);

TEST(CaptureReaderLayout, InterleavedPixelsLandBottomUpInTheirPlanes) {
  CaptureImage image;
  image.red[0] = 10, image.green[0] = 20, image.blue[0] = 30, image.nir[0] = 40;
  const std::size_t lastRow = (kFrameHeight - 1) * std::size_t{kFrameWidth};
  image.red[lastRow + 5] = 77;  // file row 758, column 5
  TempDir dir;
  ASSERT_EQ(ReadIntoStore(dir.Write("a.tif", EncodeCapture(image, false))), kReadOk);
  const FrameStore& s = Store();
  EXPECT_EQ(s.red[PlaneAt(758, 0)], 10);
  EXPECT_EQ(s.green[PlaneAt(758, 0)], 20);
  EXPECT_EQ(s.blue[PlaneAt(758, 0)], 30);
  EXPECT_EQ(s.nir[PlaneAt(758, 0)], 40);
  EXPECT_EQ(s.red[PlaneAt(0, 5)], 77);
  EXPECT_EQ(s.red[PlaneAt(758, 1)], 0);
}

TEST(CaptureReaderLayout, FourLayerPlanesStartWithBlue) {
  CaptureImage image;
  image.blue[0] = 7;
  image.red[0] = 9;  // the first byte of the file's third plane
  image.nir[1] = 11;
  TempDir dir;
  const auto path = dir.Write("a.tif", EncodeCapture(image, true));
  ASSERT_EQ(ReadIntoStore(path, 1), kReadOk);
  const FrameStore& s = Store();
  EXPECT_EQ(s.blue[PlaneAt(758, 0)], 7);
  EXPECT_EQ(s.red[PlaneAt(758, 0)], 9);
  EXPECT_EQ(s.nir[PlaneAt(758, 1)], 11);
  const MetadataRecord metadata = s.metadata;
  const Plane blueAsFourLayer = s.blue;

  ASSERT_EQ(ReadIntoStore(path, 0), kReadOk);  // the same bytes taken as interleaved
  EXPECT_EQ(s.metadata, metadata);
  EXPECT_NE(s.blue, blueAsFourLayer);
  EXPECT_EQ(s.red[PlaneAt(758, 0)], 7);  // byte 0 of an interleaved pixel is red
}

TEST(CaptureReaderLayout, BothLayoutsOfOneSceneGiveTheSameFrame) {
  const CaptureImage image = FieldScene(2);
  TempDir dir;
  test::FillFrameStore(Store(), 3);
  ASSERT_EQ(ReadIntoStore(dir.Write("i.tif", EncodeCapture(image, false)), 0), kReadOk);
  const std::vector<std::uint8_t> interleaved = Snapshot(Store());
  test::FillFrameStore(Store(), 3);
  ASSERT_EQ(ReadIntoStore(dir.Write("f.tif", EncodeCapture(image, true)), 1), kReadOk);
  EXPECT_TRUE(Snapshot(Store()) == interleaved);
}

TEST(CaptureReaderLayout, CameraBytesComeFromBehindTheHeaderAndBeforeTheFrame) {
  CaptureImage image;
  for (std::size_t i = 0; i < kMetadataSize; ++i) image.metadata[i] = static_cast<std::uint8_t>(100 + i);
  TempDir dir;
  ASSERT_EQ(ReadIntoStore(dir.Write("a.tif", EncodeCapture(image, false))), kReadOk);
  EXPECT_EQ(Store().metadata, image.metadata);
}

// A capture cut short still reads, and tells how many of its frame bytes the file supplied.
TEST(CaptureReaderLayout, TellsHowManyFrameBytesACutCaptureSupplied) {
  const std::vector<std::uint8_t> whole = EncodeCapture(FieldScene(1), false);
  TempDir dir;
  for (const std::size_t length : {kSampleFileSize, kSampleFileSize - 1, std::size_t{2'000'204},
                                   std::size_t{kSamplePixelOffset} + 1, std::size_t{kSamplePixelOffset}}) {
    const auto path = dir.Write("cut.tif", {whole.begin(), whole.begin() + static_cast<long>(length)});
    Store().frameBytes = 7;
    ASSERT_EQ(ReadCapture(path, Store(), 0), kReadOk) << length;
    EXPECT_EQ(Store().frameBytes, length - kSamplePixelOffset) << length;
    EXPECT_EQ(FrameComplete(Store()), length == kSampleFileSize) << length;
  }
  EXPECT_EQ(TruncationStatus(1'999'992), "truncated (1,999,992 of 4,080,384 frame bytes)");
}

// A capture mended byte by byte, the result expected, and what the frame store holds afterwards.
struct Malformed {
  const char* name;
  void (*mend)(std::vector<std::uint8_t>&);
  std::uint16_t result;
};

class CaptureReaderMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(CaptureReaderMalformed, GivesItsResultAndChangesNothingOnFailure) {
  std::vector<std::uint8_t> bytes = EncodeCapture(FieldScene(1), false);
  GetParam().mend(bytes);
  TempDir dir;
  const auto path = dir.Write("m.tif", bytes);
  test::FillFrameStore(Store(), 42);
  const std::vector<std::uint8_t> before = Snapshot(Store());
  EXPECT_EQ(ReadIntoStore(path), GetParam().result);
  if (GetParam().result != kReadOk) {
    EXPECT_TRUE(Snapshot(Store()) == before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CaptureReaderMalformed,
    ::testing::Values(
        Malformed{"LittleEndianMark", [](auto& b) { b[0] = b[1] = 'I'; }, kReadOk},
        Malformed{"NoStripOffsetsEntry", [](auto& b) { b[kStripEntry + 1] = 0x12; }, kReadSeekFailed},
        Malformed{"EntryCountZero", [](auto& b) { b[kSampleIfdOffset] = b[kSampleIfdOffset + 1] = 0; },
                  kReadSeekFailed},
        Malformed{"PixelOffsetThree", [](auto& b) { PutBe32(b, kStripEntry + 8, 3); }, kReadSeekFailed},
        Malformed{"PixelOffsetAt2To31", [](auto& b) { PutBe32(b, kStripEntry + 8, 0x80000000u); }, kReadSeekFailed},
        Malformed{"PixelOffsetAt2To31Plus4", [](auto& b) { PutBe32(b, kStripEntry + 8, 0x80000004u); },
                  kReadSeekFailed},
        Malformed{"EmptyFile", [](auto& b) { b.clear(); }, kReadSeekFailed},
        Malformed{"HeaderCutShort", [](auto& b) { b.resize(6); }, kReadSeekFailed},
        Malformed{"IfdPastTheEnd", [](auto& b) { PutBe32(b, 4, 50'000'000); }, kReadSeekFailed},
        Malformed{"IfdAt2To31", [](auto& b) { PutBe32(b, 4, 0x80000000u); }, kReadSeekFailed},
        Malformed{"IfdAtMaximum", [](auto& b) { PutBe32(b, 4, 0xFFFFFFFFu); }, kReadSeekFailed},
        Malformed{"EntryCount65535", [](auto& b) { b[kSampleIfdOffset] = b[kSampleIfdOffset + 1] = 0xFF; }, kReadOk},
        Malformed{"PixelOffsetAtTheVeryEnd",
                  [](auto& b) { PutBe32(b, kStripEntry + 8, static_cast<std::uint32_t>(b.size())); }, kReadOk},
        Malformed{"CutBeforeTheFrame", [](auto& b) { b.resize(kSamplePixelOffset - 1); }, kReadOk},
        Malformed{"CutInsideTheFrame", [](auto& b) { b.resize(kSampleFileSize / 2); }, kReadOk},
        Malformed{"LongerThanTheReadLimit", [](auto& b) { b.resize(kSamplePixelOffset + 4'200'000, 9); }, kReadOk}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureReaderPaths, PathsThatAreNoRegularFileGiveOneAndChangeNothing) {
  TempDir dir;
  const auto capture = dir.Write("real.tif", EncodeCapture(FieldScene(1), false));
  std::filesystem::create_symlink(dir.path() / "gone.tif", dir.path() / "dangling.tif");
  ASSERT_EQ(::mkfifo((dir.path() / "pipe.tif").c_str(), 0600), 0);
  const std::filesystem::path paths[] = {
      dir.path(),                   // a directory
      dir.path() / "missing.tif",   // nothing there
      dir.path() / "dangling.tif",  // a link to nothing
      dir.path() / "pipe.tif",      // a FIFO: must neither block nor read
      capture / "inner.tif",        // a path through a regular file
      "",
  };
  test::FillFrameStore(Store(), 5);
  const std::vector<std::uint8_t> before = Snapshot(Store());
  for (const auto& path : paths) {
    EXPECT_EQ(ReadIntoStore(path), kReadCannotOpen) << path;
    EXPECT_TRUE(Snapshot(Store()) == before) << path;
  }
}

TEST(CaptureReaderPaths, Utf8PathsAreOpened) {
  TempDir dir;
  const auto path = dir.Write("Feld Süd 03 – Mais.tif", EncodeCapture(FieldScene(3), false));
  EXPECT_EQ(ReadIntoStore(path), kReadOk);
}

TEST(CaptureReaderEdges, PixelOffsetFourTakesTheHeaderAsCameraBytes) {
  std::vector<std::uint8_t> bytes = EncodeCapture(FieldScene(1), false);
  PutBe32(bytes, kStripEntry + 8, 4);
  TempDir dir;
  ASSERT_EQ(ReadIntoStore(dir.Write("p4.tif", bytes)), kReadOk);
  const FrameStore& s = Store();
  EXPECT_EQ(s.metadata[72], 'M');
  EXPECT_EQ(s.metadata[75], 42);
  EXPECT_EQ(s.red[PlaneAt(758, 0)], bytes[4]);  // the frame starts at offset 4
  EXPECT_EQ(s.nir[PlaneAt(758, 1)], bytes[11]);
}

TEST(CaptureReaderEdges, FileEndingBeforeTheFrameGivesAZeroFrameAndAnEndOfFileByte) {
  CaptureImage image = FieldScene(1);
  std::vector<std::uint8_t> bytes = EncodeCapture(image, false);
  bytes.resize(kSamplePixelOffset - 1);  // the read of camera byte 75 meets the end
  TempDir dir;
  test::FillFrameStore(Store(), 1);
  ASSERT_EQ(ReadIntoStore(dir.Write("short.tif", bytes)), kReadOk);
  const FrameStore& s = Store();
  EXPECT_EQ(s.metadata[74], image.metadata[74]);
  EXPECT_EQ(s.metadata[75], 0xFF);
  for (const Plane* plane : {&s.red, &s.green, &s.blue, &s.nir}) {
    EXPECT_EQ(std::count(plane->begin(), plane->end(), 0), static_cast<long>(kFramePixels));
  }
}

TEST(CaptureReaderEdges, FrameBytesMissingAtTheEndAreZero) {
  CaptureImage image;
  std::fill(image.nir.begin(), image.nir.end(), 200);
  std::vector<std::uint8_t> bytes = EncodeCapture(image, false);
  bytes.resize(bytes.size() - 4 * kFrameWidth + 3);  // the last file row keeps 3 bytes
  TempDir dir;
  test::FillFrameStore(Store(), 1);
  ASSERT_EQ(ReadIntoStore(dir.Write("cut.tif", bytes)), kReadOk);
  const FrameStore& s = Store();
  EXPECT_EQ(s.nir[PlaneAt(1, 0)], 200);
  EXPECT_EQ(s.nir[PlaneAt(0, 0)], 0);  // not the 0xFF of the end-of-file read
  EXPECT_EQ(s.nir[PlaneAt(0, kFrameWidth - 1)], 0);
}

TEST(CaptureReaderEdges, TheFirstOfSeveralStripOffsetsEntriesCounts) {
  CaptureImage image;
  image.red[0] = 55;
  std::vector<std::uint8_t> bytes = EncodeCapture(image, false);
  // Entry 9 becomes a second StripOffsets entry pointing elsewhere; entry 5 still comes first.
  bytes[EntryAt(9)] = 0x01, bytes[EntryAt(9) + 1] = 0x11;
  PutBe32(bytes, EntryAt(9) + 8, 8);
  TempDir dir;
  ASSERT_EQ(ReadIntoStore(dir.Write("two.tif", bytes)), kReadOk);
  EXPECT_EQ(Store().red[PlaneAt(758, 0)], 55);
}

// The reader as a byte-at-a-time loop over the standard stream: the definition that the block
// reader must match in every end-of-file case (frame bytes not in the file stay 0).
struct ByteWise {
  std::uint16_t result = 0;
  MetadataRecord metadata{};
  std::vector<std::uint8_t> frame;  // kFrameFileBytes, made once the pixels are reached
};

ByteWise ReadByteWise(const std::filesystem::path& path) {
  ByteWise out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return {kReadCannotOpen, {}, {}};
  auto seek = [f](std::uint32_t offset) {
    const auto position = static_cast<std::int32_t>(offset);
    return position >= 0 && std::fseek(f, position, SEEK_SET) == 0;
  };
  auto assemble = [f](int count) {
    std::uint32_t v = 0;
    for (int i = 0; i < count; ++i) v = v * 256u + static_cast<std::uint32_t>(std::fgetc(f));
    return v;
  };
  auto fail = [&]() {
    std::fclose(f);
    return ByteWise{kReadSeekFailed, {}, {}};
  };
  seek(4);
  const std::uint32_t ifd = assemble(4);
  seek(8);
  for (std::size_t i = 0; i < 72; ++i) out.metadata[i] = static_cast<std::uint8_t>(std::fgetc(f));
  if (!seek(ifd)) return fail();
  const auto length = static_cast<std::uint16_t>(static_cast<std::uint16_t>(assemble(2)) * 12u);
  std::uint32_t p = 0;
  for (std::uint32_t k = 0; 12 * k < length; ++k) {
    if (!seek(ifd + 2 + 12 * k)) return fail();
    if (std::fgetc(f) == 0x01 && std::fgetc(f) == 0x11) {
      seek(ifd + 2 + 12 * k + 8);
      p = assemble(4);
      break;
    }
  }
  if (!seek(p - 4)) return fail();
  int last = 0;
  for (std::size_t i = 72; i < 76; ++i) out.metadata[i] = static_cast<std::uint8_t>(last = std::fgetc(f));
  if (!seek(p)) return fail();
  out.frame.assign(kFrameFileBytes, 0);
  for (std::size_t i = 0; last != EOF && i < kFrameFileBytes; ++i) {
    const int c = std::fgetc(f);
    if (c == EOF) break;
    out.frame[i] = static_cast<std::uint8_t>(c);
  }
  std::fclose(f);
  return out;
}

void ExpectSameAsByteWise(const std::filesystem::path& path, const std::string& what) {
  const ByteWise expected = ReadByteWise(path);
  // The store as every failed read must leave it: filled once, and again only after a read that
  // succeeded (and so changed it), since most of the many reads here fail.
  static const std::vector<std::uint8_t> before = (test::FillFrameStore(Store(), 9), Snapshot(Store()));
  static bool changed = false;
  if (changed) test::FillFrameStore(Store(), 9), changed = false;
  const std::uint16_t result = ReadIntoStore(path);
  ASSERT_EQ(result, expected.result) << what;
  if (result != kReadOk) {
    ASSERT_TRUE(std::memcmp(&Store(), before.data(), before.size()) == 0) << what;
    return;
  }
  changed = true;
  ASSERT_EQ(Store().metadata, expected.metadata) << what;
  static Plane blue, green, red, nir;
  SeparatePlanes(expected.frame.data(), blue, green, red, nir, 0);
  const FrameStore& s = Store();
  ASSERT_TRUE(s.red == red && s.green == green && s.blue == blue && s.nir == nir) << what;
}

TEST(CaptureReaderByteWise, EveryCutThroughHeaderDirectoryAndFrameStartMatches) {
  const std::vector<std::uint8_t> whole = EncodeCapture(FieldScene(1), false);
  TempDir dir;
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= kSamplePixelOffset + 16; ++n) lengths.push_back(n);
  for (std::size_t n : {std::size_t{5000}, kSampleFileSize - 1, kSampleFileSize}) lengths.push_back(n);
  for (std::size_t n : lengths) {
    const auto path = dir.Write("cut.tif", {whole.begin(), whole.begin() + static_cast<long>(n)});
    ExpectSameAsByteWise(path, "length " + std::to_string(n));
  }
}

TEST(CaptureReaderByteWise, RandomDirectoriesMatch) {
  std::mt19937 engine(20261207);
  auto random = [&engine]() { return static_cast<std::uint32_t>(engine()); };
  TempDir dir;
  for (int trial = 0; trial < 400; ++trial) {
    std::vector<std::uint8_t> bytes(random() % 600);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    auto put = [&bytes](std::size_t at, std::uint32_t value, int count) {
      for (int i = 0; i < count && at + static_cast<std::size_t>(i) < bytes.size(); ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (count - 1 - i)));
      }
    };
    const std::uint32_t ifd = random() % 700;
    put(4, trial % 17 == 0 ? 0x80000000u + ifd : ifd, 4);
    put(ifd, random() % 8 == 0 ? 0xFFFFu : random() % 40, 2);
    for (std::uint32_t k = 0; k < 40; ++k) {
      if (random() % 3 == 0) put(ifd + 2 + 12 * k, kStripOffsetsTag, 2);
      if (random() % 2 == 0) put(ifd + 2 + 12 * k + 8, random() % 700, 4);
    }
    ExpectSameAsByteWise(dir.Write("r.tif", bytes), "trial " + std::to_string(trial));
  }
}

}  // namespace
}  // namespace taloran
