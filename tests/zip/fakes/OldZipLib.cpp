// A zip library one version too old.
#include <cstdint>
extern "C" int32_t GetZipLibVersion() { return 169; }
extern "C" int32_t ZipLibExec(void*) { return 0; }
