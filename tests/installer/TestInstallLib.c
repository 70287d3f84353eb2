/* A test install library: records its call (code, the 13 slots, the cancel word) as one line in
 * the file $QUILLET_TEST_RECORD, sends a status text, and answers by the name it was built
 * under: Merge32 arms a preloaded trap library (SyscallTrap.c), Fail32 and MergeFail fail, Cancel32 serves the dialog first (a queued Cancel runs there),
 * records the cancel word again and gives up (fails) when it is set, Exit32 ends the program with
 * exit(0) (and says on standard error when it is unloaded), ExitAt32 ends it with
 * exit($QUILLET_TEST_EXIT_STATUS) when the unit code is $QUILLET_TEST_EXIT_UNIT (any case) and
 * succeeds otherwise, NoEntry has no entry at all. */
#define _GNU_SOURCE
#include "QuilletInstall.h"

#include <dlfcn.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#ifndef QLIB_NAME
#define QLIB_NAME "Copy32"
#endif

#ifndef QLIB_NO_ENTRY
static void Record(const char* what, int32_t code, uintptr_t* block) {
  const char* path = getenv("QUILLET_TEST_RECORD");
  if (!path) return;
  FILE* f = fopen(path, "a");
  if (!f) return;
  fprintf(f, "%s|%s|%d", QLIB_NAME, what, (int)code);
  for (int i = 0; i < 11; ++i) fprintf(f, "|%s", block[i] ? (const char*)block[i] : "(null)");
  fprintf(f, "|%d|%d\n", (int)*(int32_t*)block[QUILLET_SLOT_CANCEL], (int)block[QUILLET_SLOT_DEBUG]);
  fclose(f);
}

__attribute__((visibility("default"))) int16_t Install(QuilletWindow* window, int32_t code, uintptr_t* block) {
  Record("call", code, block);
  if (strcmp(QLIB_NAME, "Merge32") == 0) {
    /* The registration of the volume follows: a preloaded trap library may count from here. */
    void (*arm)(void) = (void (*)(void))dlsym(RTLD_DEFAULT, "SyscallTrapArm");
    if (arm) arm();
  }
  if (window && window->size == sizeof(QuilletWindow)) {
    char text[128];
    snprintf(text, sizeof text, "%s: %s", QLIB_NAME, block[5] ? (const char*)block[5] : "");
    window->SendMessage(window, QUILLET_MSG_STATUS, 0, (intptr_t)text);
    window->SendMessage(window, 0x0010, 0, 0); /* any other message: 0 */
  }
  if (strcmp(QLIB_NAME, "Cancel32") == 0) {
    window->ProcessMessages(window);
    Record("after", code, block);
    if (*(int32_t*)block[QUILLET_SLOT_CANCEL]) return 1; /* the user cancelled: stop work */
  }
  if (strcmp(QLIB_NAME, "Exit32") == 0) exit(0);
  if (strcmp(QLIB_NAME, "ExitAt32") == 0) {
    const char* unit = getenv("QUILLET_TEST_EXIT_UNIT");
    const char* status = getenv("QUILLET_TEST_EXIT_STATUS");
    if (unit && block[5] && strcasecmp(unit, (const char*)block[5]) == 0) exit(status ? atoi(status) : 0);
  }
  if (strcmp(QLIB_NAME, "Fail32") == 0) return 7;
  if (strcmp(QLIB_NAME, "MergeFail") == 0) return -2;
  return 0;
}

/* Exit32's call is still on the stack while the program ends: it must not be unloaded under it. */
__attribute__((destructor)) static void Unloaded(void) {
  if (strcmp(QLIB_NAME, "Exit32") == 0) fprintf(stderr, "%s unloaded\n", QLIB_NAME);
}
#else
__attribute__((visibility("default"))) int16_t NotInstall(void) { return 0; }
#endif
