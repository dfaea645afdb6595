#pragma once

#include "text/codepagelist.h"

// The characters of the bytes 0..255 of a page in which every byte is one
// character on its own, worked out once per page and shared by all threads;
// null for a multi-byte or stateful page or one without a converter.
const char16_t *singleByteTable(Encoding encoding);
