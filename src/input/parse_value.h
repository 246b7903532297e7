// Converts one field of the input table to a double exactly as the C library's atof would.
#pragma once

// [first, last) is one white-space-delimited word; it may contain NUL bytes, which end the
// number as they would end a C string. Common decimal forms take a fast correctly rounded
// path; every other form (a leading '+', hexadecimal, inf/nan, out-of-range exponents, text
// without a leading number) goes to strtod, so the result is bit-identical to atof.
double parse_value(const char* first, const char* last);
