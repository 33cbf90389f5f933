// textbuf.h - bounded copies into the fixed text buffers the program uses everywhere.
#ifndef TOLVIK_TEXTBUF_H
#define TOLVIK_TEXTBUF_H

#include <cstddef>
#include <string_view>

// Copies at most cap - 1 bytes of src into dst and always terminates it (cap > 0).
// Returns the number of bytes copied; a result below src.size() means the text was cut.
std::size_t copy_bounded(char *dst, std::size_t cap, std::string_view src);

// Length of a text held in a buffer of cap bytes that may lack its terminator
// (registry data stored without its zero): the bytes up to the first zero, or cap.
std::size_t bounded_length(const char *buf, std::size_t cap);

// Makes the `size` bytes a registry read left in a buffer of cap bytes a terminated text: the
// bytes up to the first zero, or all of them when the text was stored without its zero.
// False when that text and its zero do not fit cap (the buffer is then left as it was).
bool terminate_read_text(char *buf, std::size_t size, std::size_t cap);

#endif
