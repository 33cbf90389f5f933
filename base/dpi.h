// dpi.h - lengths given in pixels at 96 dpi, at another number of dots per inch.
#ifndef TOLVIK_DPI_H
#define TOLVIK_DPI_H

// A length in pixels at 96 dpi, at `dpi` (rounded to the nearest pixel).
constexpr int scale_px(int px, int dpi)
{
    return static_cast<int>((static_cast<long long>(px) * dpi + 48) / 96);
}

#endif
