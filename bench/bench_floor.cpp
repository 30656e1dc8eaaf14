// The floor of a conversion: what no converter of this picture into this map file can beat.
// It decodes the picture with Qt into memory and writes as many bytes as the map file holds,
// through 1 MiB writes, nothing else.
//
//   bench_floor PICTURE BYTES OUTPUT [fsync]
//
// With "fsync" the file is flushed to the disk before it is closed, as the map file is.
#include <QImage>
#include <QImageReader>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_floor PICTURE BYTES OUTPUT [fsync]\n");
    return 2;
  }
  const auto t = std::chrono::steady_clock::now();
  QImageReader::setAllocationLimit(0);
  QImageReader reader(QString::fromLocal8Bit(argv[1]));
  const QImage image = reader.read();
  if (image.isNull()) {
    std::fprintf(stderr, "bench_floor: cannot decode %s\n", argv[1]);
    return 1;
  }
  long long left = std::atoll(argv[2]);
  std::vector<char> block(1 << 20);
  std::memset(block.data(), image.constBits()[0], block.size());
  const int fd = ::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return 1;
  while (left > 0) {
    const auto n = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(block.size())));
    if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) return 1;
    left -= static_cast<long long>(n);
  }
  if (argc > 4 && std::strcmp(argv[4], "fsync") == 0) ::fsync(fd);
  ::close(fd);
  std::printf("%.3f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count());
  return 0;
}
