#pragma once

#include <string>

namespace faceloom {

// OBJ files are read as bytes, but some editors on Windows save them as UTF-16 or put
// a UTF-8 byte-order mark in front: both would hide the file's first line (or every
// line) from the reader. Returns the text as UTF-8 without a byte-order mark: UTF-16
// (little or big endian, told by its mark) is decoded, a UTF-8 mark is dropped, and
// text without a mark is returned as it is. In UTF-16, a surrogate without its partner
// becomes U+FFFD and an odd last byte is dropped.
std::string withoutByteOrderMark(std::string text);

}  // namespace faceloom
