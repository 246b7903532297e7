// Converts one field of the input table to a double exactly as the C library's atof would, and
// tells whether the field is a number at all.
#pragma once

struct FieldValue {
  double value;
  // Whether strtod reads the field to its last character. A field that is not a number ("NA",
  // "-", "1.5e2x", "1,5") still has the value atof gives it: 0 or its leading number.
  bool number;
};

// [first, last) is one white-space-delimited word; it may contain NUL bytes, which end the
// number as they would end a C string. Common decimal forms take a fast correctly rounded
// path; every other form (a leading '+', hexadecimal, inf/nan, out-of-range exponents, text
// without a leading number) goes to strtod, so the result is bit-identical to atof.
FieldValue parse_value(const char* first, const char* last);
