// Application-like bytes for benchmarks: text from a skewed vocabulary,
// tables that repeat with small changes, and incompressible stretches. They
// compress about 4:1, as a typical application folder does.
#pragma once
#include <cstddef>
#include <string>

std::string applicationLikeBytes(size_t length);
