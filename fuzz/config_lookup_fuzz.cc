// Any bytes as a configuration file: the four lookups of a run must come
// back without a fault, and the same file must give the same answers again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "config/config_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int fd = memfd_create("dorvek-config", 0);
  static std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  for (const char* key : {"NET8", "SCHEMA", "LOGIN", "PASS"}) {
    dorvek::ConfigEntry first = dorvek::lookupConfigValue("", key, 0, path.c_str());
    dorvek::ConfigEntry again = dorvek::lookupConfigValue("", key, 0, path.c_str());
    if (first.value != again.value || first.number != again.number || first.key != again.key ||
        first.section != again.section) {
      std::abort();
    }
  }
  return 0;
}
