// The smallest child a launcher can start: exits at once, with the code given
// as its first argument after the program path (0 without one).
#include <cstdlib>

int main(int argc, char** argv) {
  return argc > 1 ? static_cast<int>(std::strtoul(argv[1], nullptr, 0)) : 0;
}
