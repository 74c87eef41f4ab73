#include "output/standard_descriptors.h"

#include <fcntl.h>   // Required for: open, fcntl
#include <unistd.h>  // Required for: close

#include <cerrno>

void ReserveStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open gives the lowest free number, which is fd: the ones below are open.
    int reserved = open("/dev/null", O_RDONLY);
    if (reserved < 0)
      reserved = open("/", O_RDONLY | O_DIRECTORY);  // no /dev: a folder cannot be written either
    if (reserved >= 0 && reserved != fd) close(reserved);
  }
}
