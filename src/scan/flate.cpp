#include "scan/flate.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace scan {
namespace {

int Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Applies (or undoes, `undo`) filter `type` to `row` against `prior`.
void Filter(int type, const std::uint8_t* row, const std::uint8_t* prior, std::uint8_t* out,
            std::size_t n, int bpp, bool undo) {
    for (std::size_t i = 0; i < n; ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? (undo ? out : row)[i - bpp] : 0;
        const int b = prior ? prior[i] : 0;
        const int c = prior && i >= static_cast<std::size_t>(bpp) ? prior[i - bpp] : 0;
        int predicted = 0;
        switch (type) {
        case 1:
            predicted = a;
            break;
        case 2:
            predicted = b;
            break;
        case 3:
            predicted = (a + b) / 2;
            break;
        case 4:
            predicted = Paeth(a, b, c);
            break;
        default:
            break;
        }
        out[i] = static_cast<std::uint8_t>(undo ? row[i] + predicted : row[i] - predicted);
    }
}

} // namespace

std::vector<std::uint8_t> DeflateRows(const std::uint8_t* rows, int height, std::size_t rowBytes,
                                      int pixelBytes) {
    z_stream z{};
    deflateInit(&z, 6);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> line(rowBytes + 1), best(rowBytes + 1);
    std::array<std::uint8_t, 65536> chunk;
    const auto pump = [&](int flush) {
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            deflate(&z, flush);
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = rows + rowBytes * static_cast<std::size_t>(y);
        const std::uint8_t* prior = y > 0 ? row - rowBytes : nullptr;
        // The filter whose output has the least sum of magnitudes (as libpng chooses).
        unsigned long bestSum = ~0ul;
        for (int type = 0; type <= 4; ++type) {
            line[0] = static_cast<std::uint8_t>(type);
            Filter(type, row, prior, line.data() + 1, rowBytes, pixelBytes, false);
            unsigned long sum = 0;
            for (std::size_t i = 1; i <= rowBytes; ++i)
                sum += line[i] < 128 ? line[i] : 256 - line[i];
            if (sum < bestSum) {
                bestSum = sum;
                best.swap(line);
            }
        }
        z.next_in = best.data();
        z.avail_in = static_cast<uInt>(best.size());
        pump(Z_NO_FLUSH);
    }
    z.next_in = nullptr;
    z.avail_in = 0;
    pump(Z_FINISH);
    deflateEnd(&z);
    return out;
}

std::optional<std::vector<std::uint8_t>> InflateRows(const std::vector<std::uint8_t>& data,
                                                     int height, std::size_t rowBytes,
                                                     int pixelBytes) {
    if (height <= 0 || rowBytes == 0)
        return std::nullopt;
    const std::size_t filtered = (rowBytes + 1) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> raw(filtered);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return std::nullopt;
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = raw.data();
    z.avail_out = static_cast<uInt>(raw.size());
    const int status = inflate(&z, Z_FINISH);
    const bool complete = z.avail_out == 0 && (status == Z_STREAM_END || status == Z_OK);
    inflateEnd(&z);
    if (!complete)
        return std::nullopt;
    std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = raw.data() + (rowBytes + 1) * static_cast<std::size_t>(y);
        if (in[0] > 4)
            return std::nullopt;
        std::uint8_t* out = rows.data() + rowBytes * static_cast<std::size_t>(y);
        Filter(in[0], in + 1, y > 0 ? out - rowBytes : nullptr, out, rowBytes, pixelBytes, true);
    }
    return rows;
}

} // namespace scan
