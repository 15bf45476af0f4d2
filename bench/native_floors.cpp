// The three floors as native Linux programs, to tell what Wine adds to each:
// the same work with the same block and piece sizes, the host's zstd and libdeflate.
//
//   native_floors decode ATTACHED_DATA
//   native_floors checksum TARGET_DIR FILE_LIST
//   native_floors write TARGET_DIR FILE_LIST
//
// Each prints "<floor> <milliseconds>" for its work alone.
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

struct ListedFile {
  unsigned long long size;
  std::string name;  // with slashes
};

std::vector<ListedFile> readFileList(const char* path) {
  std::ifstream in(path);
  std::vector<ListedFile> files;
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    std::string name = line.substr(tab + 1);
    for (char& c : name) c = c == '\\' ? '/' : c;
    files.push_back({std::stoull(line.substr(0, tab)), name});
  }
  return files;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

int decode(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto start = std::chrono::steady_clock::now();
  std::vector<unsigned char> block(131072);
  ZSTD_DCtx* context = ZSTD_createDCtx();
  // Every frame, up to the 14-byte trailer.
  if (data.size() < 3 + 14) return 4;
  ZSTD_inBuffer input = {data.data() + 3, data.size() - 3 - 14, 0};
  for (;;) {
    ZSTD_outBuffer output = {block.data(), block.size(), 0};
    const size_t result = ZSTD_decompressStream(context, &output, &input);
    if (ZSTD_isError(result)) return 4;
    if (result == 0 && input.pos == input.size) break;
    if (input.pos == input.size && output.pos < output.size) return 4;
  }
  ZSTD_freeDCtx(context);
  std::printf("decode %.1f\n", millisecondsSince(start));
  return 0;
}

int checksum(const std::string& target, const std::vector<ListedFile>& files) {
  const auto start = std::chrono::steady_clock::now();
  int missing = 0;
  for (const ListedFile& listed : files) {
    const int fd = open((target + "/" + listed.name).c_str(), O_RDONLY);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0) {
      ++missing;
      continue;
    }
    void* view = mmap(nullptr, status.st_size, PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
      ++missing;
    } else {
      libdeflate_crc32(0, view, status.st_size);
      munmap(view, status.st_size);
    }
    close(fd);
  }
  std::printf("checksum %.1f\n", millisecondsSince(start));
  return missing == 0 ? 0 : 5;
}

int write(const std::string& target, const std::vector<ListedFile>& files) {
  static unsigned char piece[32768];
  for (size_t i = 0; i < sizeof piece; ++i)
    piece[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
  const auto start = std::chrono::steady_clock::now();
  std::set<std::string> made;
  for (const ListedFile& listed : files) {
    const std::string path = target + "/" + listed.name;
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
      const std::string directory = path.substr(0, slash);
      if (made.insert(directory).second) mkdir(directory.c_str(), 0755);
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return 5;
    for (unsigned long long left = listed.size; left > 0;) {
      const size_t n = left < sizeof piece ? left : sizeof piece;
      if (::write(fd, piece, n) != static_cast<ssize_t>(n)) return 5;
      left -= n;
    }
    close(fd);
  }
  std::printf("write %.1f\n", millisecondsSince(start));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string floor = argc > 1 ? argv[1] : "";
  if (floor == "decode" && argc == 3) return decode(argv[2]);
  if ((floor == "checksum" || floor == "write") && argc == 4) {
    const std::vector<ListedFile> files = readFileList(argv[3]);
    return floor == "checksum" ? checksum(argv[2], files) : write(argv[2], files);
  }
  std::fprintf(stderr, "usage: native_floors decode DATA | checksum|write DIR LIST\n");
  return 2;
}
