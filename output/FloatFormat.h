#pragma once

namespace faceloom {

// Writes `value` the way a default C++ output stream writes it once widened to
// double (printf's "%g": six significant digits, correctly rounded; fixed notation
// for decimal exponents from -4 to 5, exponent notation otherwise; trailing zeros and
// a trailing point dropped; '.' as decimal point whatever the locale).
//
// `out` needs room for 16 characters. Returns the end of what was written.
char* formatFloat(char* out, float value);

}  // namespace faceloom
