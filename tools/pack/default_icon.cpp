#include "default_icon.h"

#include <libdeflate.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "payload/format.h"

namespace {

struct Pixel {
  double r = 0, g = 0, b = 0, a = 0;  // premultiplied, 0 to 1
};

void over(Pixel& below, double r, double g, double b, double coverage) {
  below.r = r * coverage + below.r * (1 - coverage);
  below.g = g * coverage + below.g * (1 - coverage);
  below.b = b * coverage + below.b * (1 - coverage);
  below.a = coverage + below.a * (1 - coverage);
}

bool insideRoundedSquare(double x, double y, double margin, double radius) {
  const double low = margin + radius;
  const double high = 1 - margin - radius;
  const double dx = x < low ? low - x : (x > high ? x - high : 0);
  const double dy = y < low ? low - y : (y > high ? y - high : 0);
  if (x < margin || x > 1 - margin || y < margin || y > 1 - margin) return false;
  return dx * dx + dy * dy <= radius * radius;
}

bool insideRect(double x, double y, double left, double top, double right, double bottom) {
  return x >= left && x < right && y >= top && y < bottom;
}

// The image at `size` pixels, top row first, each pixel as R, G, B, A bytes
// (straight alpha). Every pixel is the average of 4 x 4 samples.
std::vector<uint8_t> drawIcon(int size) {
  constexpr int kSamples = 4;
  std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double tile = 0, parcel = 0, tape = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = (px + (sx + 0.5) / kSamples) / size;
          const double y = (py + (sy + 0.5) / kSamples) / size;
          tile += insideRoundedSquare(x, y, 0.04, 0.18);
          parcel +=
              insideRect(x, y, 0.27, 0.40, 0.73, 0.78) || insideRect(x, y, 0.22, 0.28, 0.78, 0.40);
          tape += insideRect(x, y, 0.45, 0.28, 0.55, 0.78);
        }
      }
      constexpr double kAll = kSamples * kSamples;
      const double shade = static_cast<double>(py) / size;
      Pixel pixel;
      over(pixel, 0.16 - 0.06 * shade, 0.47 - 0.16 * shade, 0.75 - 0.20 * shade, tile / kAll);
      over(pixel, 0.98, 0.96, 0.90, parcel / kAll);
      over(pixel, 0.85, 0.55, 0.20, tape / kAll);
      uint8_t* const out = &rgba[(static_cast<size_t>(py) * size + px) * 4];
      const auto byte = [](double value) {
        return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
      };
      out[3] = byte(pixel.a);
      if (pixel.a > 0) {
        out[0] = byte(pixel.r / pixel.a);
        out[1] = byte(pixel.g / pixel.a);
        out[2] = byte(pixel.b / pixel.a);
      }
    }
  }
  return rgba;
}

void putU16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void putU32(std::string& out, uint32_t value) {
  putU16(out, value & 0xFFFF);
  putU16(out, value >> 16);
}

void putU32BigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// A 32-bit bitmap as an icon image: the header with twice the height, the
// pixels bottom row first in B, G, R, A, then the 1-bit mask (set where the
// image is fully transparent).
std::string bitmapImage(int size) {
  const std::vector<uint8_t> rgba = drawIcon(size);
  const uint32_t maskStride = ((size + 31) / 32) * 4;
  std::string out;
  putU32(out, 40);
  putU32(out, size);
  putU32(out, size * 2);
  putU16(out, 1);
  putU16(out, 32);
  putU32(out, 0);
  putU32(out, size * size * 4 + maskStride * size);
  for (int i = 0; i < 4; ++i) putU32(out, 0);
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) {
      const uint8_t* const p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
      out.push_back(static_cast<char>(p[2]));
      out.push_back(static_cast<char>(p[1]));
      out.push_back(static_cast<char>(p[0]));
      out.push_back(static_cast<char>(p[3]));
    }
  }
  for (int y = size - 1; y >= 0; --y) {
    std::string row(maskStride, '\0');
    for (int x = 0; x < size; ++x) {
      if (rgba[(static_cast<size_t>(y) * size + x) * 4 + 3] == 0) {
        row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
      }
    }
    out += row;
  }
  return out;
}

void putPngChunk(std::string& out, const char* type, const std::string& data) {
  putU32BigEndian(out, static_cast<uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  out += typed;
  // PNG's chunk CRC is the same CRC-32 as the attached data's checksums.
  putU32BigEndian(out, extendCrc(0, typed.data(), typed.size()));
}

std::string pngImage(int size) {
  const std::vector<uint8_t> rgba = drawIcon(size);
  std::string rows;
  for (int y = 0; y < size; ++y) {
    rows.push_back('\0');  // filter: none
    rows.append(reinterpret_cast<const char*>(&rgba[static_cast<size_t>(y) * size * 4]),
                static_cast<size_t>(size) * 4);
  }
  // libdeflate's strongest level; its output depends on its version alone,
  // which both tools share, so they write the same icon.
  libdeflate_compressor* const compressor = libdeflate_alloc_compressor(12);
  if (compressor == nullptr) throw std::runtime_error("cannot allocate the icon's compressor");
  std::string packed(libdeflate_zlib_compress_bound(compressor, rows.size()), '\0');
  const size_t packedSize =
      libdeflate_zlib_compress(compressor, rows.data(), rows.size(), packed.data(), packed.size());
  libdeflate_free_compressor(compressor);
  if (packedSize == 0) throw std::runtime_error("compressing the default icon failed");
  packed.resize(packedSize);
  std::string header;
  putU32BigEndian(header, size);
  putU32BigEndian(header, size);
  header +=
      std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, no interlace
  std::string out = "\x89PNG\r\n\x1a\n";
  putPngChunk(out, "IHDR", header);
  putPngChunk(out, "IDAT", packed);
  putPngChunk(out, "IEND", "");
  return out;
}

}  // namespace

std::string defaultIconFile() {
  static const int kBitmapSizes[] = {16, 20, 24, 32, 40, 48};
  constexpr int kPngSize = 256;
  std::vector<std::pair<int, std::string>> images;
  for (const int size : kBitmapSizes) images.emplace_back(size, bitmapImage(size));
  images.emplace_back(kPngSize, pngImage(kPngSize));

  std::string out;
  putU16(out, 0);
  putU16(out, 1);  // icon
  putU16(out, static_cast<uint32_t>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (const auto& [size, image] : images) {
    out.push_back(static_cast<char>(size >= 256 ? 0 : size));  // 0 means 256
    out.push_back(static_cast<char>(size >= 256 ? 0 : size));
    out.push_back('\0');  // no palette
    out.push_back('\0');
    putU16(out, 1);   // planes
    putU16(out, 32);  // bits per pixel
    putU32(out, static_cast<uint32_t>(image.size()));
    putU32(out, offset);
    offset += static_cast<uint32_t>(image.size());
  }
  for (const auto& entry : images) out += entry.second;
  return out;
}
