// Writes the setup program's images: three background bitmaps and the QuickHelp dot cursor.
//   image_gen OUTDIR
// creates OUTDIR/background110.bmp, background115.bmp, panel111.bmp and dot112.cur.
//
// The output is byte-for-byte the same on every host: the pictures use only integer hashing
// and the four basic floating-point operations (no library maths, no random generator), and the
// build compiles this file with contraction of multiply-adds turned off.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

struct Rgb {
  uint8_t r, g, b;
};

// The sixteen colours every palette display can show without dithering.
const Rgb kStandardPalette[16] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};
constexpr uint8_t kSilver = 7;
constexpr uint8_t kGrey = 8;
constexpr uint8_t kYellow = 11;
constexpr uint8_t kWhite = 15;

uint32_t RowBytes(int width, int bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

// BITMAPINFOHEADER for a bottom-up, uncompressed DIB.
void PutInfoHeader(Bytes& b, int width, int height, int bitCount, uint32_t imageSize,
                   uint32_t coloursUsed) {
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(width));
  Put32(b, static_cast<uint32_t>(height));
  Put16(b, 1);
  Put16(b, static_cast<unsigned>(bitCount));
  Put32(b, 0);  // BI_RGB
  Put32(b, imageSize);
  Put32(b, 2835);  // 72 dots per inch
  Put32(b, 2835);
  Put32(b, coloursUsed);
  Put32(b, 0);
}

void PutPalette(Bytes& b, const Rgb* colours, int count) {
  for (int i = 0; i < count; ++i) {
    b.push_back(colours[i].b);
    b.push_back(colours[i].g);
    b.push_back(colours[i].r);
    b.push_back(0);
  }
}

// A .bmp file: file header, info header, palette, pixel rows bottom-up.
Bytes BitmapFile(int width, int height, int bitCount, const Rgb* palette, int paletteSize,
                 const Bytes& rowsBottomUp) {
  const uint32_t imageSize = RowBytes(width, bitCount) * static_cast<uint32_t>(height);
  const uint32_t bitsOffset = 14 + 40 + 4 * static_cast<uint32_t>(paletteSize);
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, bitsOffset + imageSize);
  Put32(b, 0);
  Put32(b, bitsOffset);
  PutInfoHeader(b, width, height, bitCount, imageSize, static_cast<uint32_t>(paletteSize));
  PutPalette(b, palette, paletteSize);
  b.insert(b.end(), rowsBottomUp.begin(), rowsBottomUp.end());
  return b;
}

// Pixels of a 4-bit image, given as one palette index per pixel, top row first.
Bytes PackNibbles(int width, int height, const std::vector<uint8_t>& indexTopDown) {
  const uint32_t stride = RowBytes(width, 4);
  Bytes rows(stride * static_cast<uint32_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &rows[stride * static_cast<uint32_t>(height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      const uint8_t v = indexTopDown[static_cast<size_t>(y * width + x)] & 0x0F;
      row[x / 2] |= (x % 2 == 0) ? static_cast<uint8_t>(v << 4) : v;
    }
  }
  return rows;
}

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x8DA6B343u ^ y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return h;
}

double Lattice(int cx, int cy, int cellsX, int cellsY, uint32_t seed) {
  const int wx = ((cx % cellsX) + cellsX) % cellsX;
  const int wy = ((cy % cellsY) + cellsY) % cellsY;
  return (Hash(static_cast<uint32_t>(wx), static_cast<uint32_t>(wy), seed) & 0xFFFF) / 65535.0;
}

double Smooth(double t) {
  return t * t * (3.0 - 2.0 * t);
}

// Value noise in [0, 1] over a cellsX x cellsY lattice that wraps at the picture's edges, so
// the tiled background shows no seams. u and v run from 0 to 1 across the picture.
double ValueNoise(double u, double v, int cellsX, int cellsY, uint32_t seed) {
  const double fx = u * cellsX;
  const double fy = v * cellsY;
  const int ix = static_cast<int>(fx);
  const int iy = static_cast<int>(fy);
  const double tx = Smooth(fx - ix);
  const double ty = Smooth(fy - iy);
  const double a = Lattice(ix, iy, cellsX, cellsY, seed);
  const double b = Lattice(ix + 1, iy, cellsX, cellsY, seed);
  const double c = Lattice(ix, iy + 1, cellsX, cellsY, seed);
  const double d = Lattice(ix + 1, iy + 1, cellsX, cellsY, seed);
  const double top = a + (b - a) * tx;
  const double bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

double Turbulence(double u, double v) {
  double sum = 0.0;
  double amplitude = 0.5;
  int cells = 3;
  for (int octave = 0; octave < 4; ++octave) {
    sum += amplitude * ValueNoise(u, v, cells, cells + 1, 17u + static_cast<uint32_t>(octave));
    amplitude *= 0.5;
    cells *= 2;
  }
  return sum;  // below 0.9375
}

// A smooth periodic wave with period 1, 0 at whole numbers and 1 halfway between.
double Wave(double t) {
  const double f = t - static_cast<double>(static_cast<long>(t < 0 ? t - 1 : t));
  return 4.0 * f * (1.0 - f);
}

uint8_t Channel(double v) {
  if (v < 0) v = 0;
  if (v > 255) v = 255;
  return static_cast<uint8_t>(v + 0.5);
}

// 150 x 170, 24 bits per pixel: pale bluish-white marble with soft grey-blue veins.
Bytes MarbleBitmap() {
  const int width = 150, height = 170;
  const uint32_t stride = RowBytes(width, 24);
  Bytes rows(stride * height, 0);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &rows[stride * static_cast<uint32_t>(height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / width;
      const double v = static_cast<double>(y) / height;
      const double t = Turbulence(u, v);
      // Veins run diagonally (one period across, two down keeps the tile seamless) and are
      // bent by the turbulence; raising the wave's complement to a high power thins them.
      double vein = 1.0 - Wave(u + 2.0 * v + 2.0 * t);
      vein = vein * vein;
      vein = vein * vein;
      vein = vein * vein;
      const double cloud = ValueNoise(u, v, 5, 6, 99u);
      const double shade = 0.55 * vein + 0.25 * cloud;
      row[3 * x + 0] = Channel(252.0 - 22.0 * shade);  // blue
      row[3 * x + 1] = Channel(246.0 - 40.0 * shade);  // green
      row[3 * x + 2] = Channel(240.0 - 52.0 * shade);  // red
    }
  }
  return BitmapFile(width, height, 24, nullptr, 0, rows);
}

// 90 x 90, 16 colours: white with sparse silver and grey specks.
Bytes SpeckBitmap() {
  const int size = 90;
  std::vector<uint8_t> pixels(size * size, kWhite);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const uint32_t h = Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 5u) % 1000;
      if (h < 4)
        pixels[static_cast<size_t>(y * size + x)] = kGrey;
      else if (h < 24)
        pixels[static_cast<size_t>(y * size + x)] = kSilver;
    }
  }
  return BitmapFile(size, size, 4, kStandardPalette, 16, PackNibbles(size, size, pixels));
}

// 32 x 32, 16 colours: plain yellow.
Bytes YellowBitmap() {
  const int size = 32;
  const std::vector<uint8_t> pixels(size * size, kYellow);
  return BitmapFile(size, size, 4, kStandardPalette, 16, PackNibbles(size, size, pixels));
}

bool InDot(int row, int column) {
  if (row == 13 || row == 17) return column >= 14 && column <= 16;
  if (row >= 14 && row <= 16) return column >= 13 && column <= 17;
  return false;
}

// 32 x 32 monochrome cursor, hotspot (15, 15). The AND mask is all ones; the XOR mask is one
// only on the dot, so the dot inverts the screen and every other pixel leaves it unchanged.
Bytes DotCursor() {
  const int size = 32;
  const uint32_t stride = RowBytes(size, 1);
  const uint32_t maskBytes = stride * size;
  Bytes xorMask(maskBytes, 0);
  const Bytes andMask(maskBytes, 0xFF);
  for (int row = 0; row < size; ++row) {
    uint8_t* line = &xorMask[stride * static_cast<uint32_t>(size - 1 - row)];
    for (int column = 0; column < size; ++column)
      if (InDot(row, column)) line[column / 8] |= static_cast<uint8_t>(0x80 >> (column % 8));
  }
  const Rgb mono[2] = {{0, 0, 0}, {255, 255, 255}};
  Bytes image;
  PutInfoHeader(image, size, 2 * size, 1, 2 * maskBytes, 0);
  PutPalette(image, mono, 2);
  image.insert(image.end(), xorMask.begin(), xorMask.end());
  image.insert(image.end(), andMask.begin(), andMask.end());

  Bytes file;
  Put16(file, 0);  // reserved
  Put16(file, 2);  // cursor
  Put16(file, 1);  // one image
  file.push_back(size);
  file.push_back(size);
  file.push_back(2);  // colours
  file.push_back(0);
  Put16(file, 15);  // hotspot x
  Put16(file, 15);  // hotspot y
  Put32(file, static_cast<uint32_t>(image.size()));
  Put32(file, 6 + 16);
  file.insert(file.end(), image.begin(), image.end());
  return file;
}

bool WriteFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "image_gen: cannot create %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (std::fclose(f) != 0 || !ok) {
    std::fprintf(stderr, "image_gen: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: image_gen OUTDIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const bool ok = WriteFile(dir + "background110.bmp", MarbleBitmap()) &&
                  WriteFile(dir + "background115.bmp", SpeckBitmap()) &&
                  WriteFile(dir + "panel111.bmp", YellowBitmap()) &&
                  WriteFile(dir + "dot112.cur", DotCursor());
  return ok ? 0 : 1;
}
