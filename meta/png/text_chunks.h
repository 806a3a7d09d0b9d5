#pragma once
// The text chunks of a PNG (tEXt, zTXt, iTXt, ISO/IEC 15948 11.3.4): their
// keywords and, for a listing, their texts, inflated within a cap so a
// small chunk that inflates to gigabytes costs no more than the cap.

#include <cstdint>
#include <string>

#include "meta/png/chunk_reader.h"

namespace png {

// A keyword has 1 to 79 bytes and ends with a NUL; so many bytes of a
// text chunk tell which it is.
inline constexpr uint32_t kKeywordBytes = 80;
// iTXt holds a language tag and a translated keyword between keyword and
// text; writers keep them short. A text whose header is longer is not shown.
inline constexpr uint32_t kTextHeaderBytes = 4096;
// Inflating reads at most this much compressed input: a stream of empty
// blocks yields nothing however long it is.
inline constexpr int64_t kMaxInflateInput = int64_t{16} << 20;

// The keyword `head` (a text chunk's first bytes) starts with, up to its
// NUL; all of `head` when it holds no NUL.
std::string KeywordOf(const std::string& head);

// The text of the current chunk of `reader` (a text chunk), at most `max`
// bytes of it: inflated when it is compressed, as UTF-8 (tEXt and zTXt are
// Latin-1). Empty when it cannot be read.
std::string TextOf(const tChunkReader& reader, size_t keywordLength, size_t max);

// At most `max` bytes of what the zlib stream of `length` bytes at `offset`
// of `fd` inflates to; what was inflated before an error in the stream.
std::string InflateAt(int fd, int64_t offset, int64_t length, size_t max);

// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(const std::string& latin1);

}  // namespace png
