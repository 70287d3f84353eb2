/* An install library that does nothing and succeeds: the benchmark's stand-in. */
#include "QuilletInstall.h"

__attribute__((visibility("default"))) int16_t Install(QuilletWindow* window, int32_t code, uintptr_t* block) {
  (void)window, (void)code, (void)block;
  return 0;
}
