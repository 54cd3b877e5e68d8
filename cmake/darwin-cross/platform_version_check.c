// What `@available(macOS 13.0, *)` calls. libSystem answers the question for
// a platform and a version packed as 0xMMMMmmpp, as the runtime library of a
// Mac's clang asks it. Weakly imported: a system without it is treated as
// older than every version asked about.
#include <stdbool.h>
#include <stdint.h>

typedef struct {
  uint32_t platform;
  uint32_t version;
} dyld_build_version_t;

extern bool _availability_version_check(uint32_t count, dyld_build_version_t versions[])
    __attribute__((weak_import));

int32_t __isPlatformVersionAtLeast(uint32_t platform, uint32_t major, uint32_t minor, uint32_t subminor);

int32_t __isPlatformVersionAtLeast(uint32_t platform, uint32_t major, uint32_t minor, uint32_t subminor) {
  if (!_availability_version_check) return 0;
  const uint32_t version = ((major & 0xffff) << 16) | ((minor & 0xff) << 8) | (subminor & 0xff);
  dyld_build_version_t asked = {platform, version};
  return _availability_version_check(1, &asked);
}
