/* The contract between the workunit installer Quillet and its install libraries.
 * An install library is a shared object dll32/<name>.so beside the Quillet program; Quillet
 * loads it with dlopen and calls its one entry point, looked up by the name "Install". */
#ifndef QUILLET_INSTALL_H
#define QUILLET_INSTALL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The message that sets the installer's status line: lParam is the address of a zero-ended text,
 * read while the message is handled (SendMessage returns 0 once the text is shown). */
#define QUILLET_MSG_STATUS 0x0401u

/* Slots of the install block. Slots 0-10 are zero-ended texts, lower case during the call and
 * owned by the installer: read them, never write them. An absent option is a null slot. */
enum {
  QUILLET_SLOT_PRODUCT = 0,      /* option P, the product code */
  QUILLET_SLOT_BASE = 1,         /* option B, the installation's base folder (no trailing "\") */
  QUILLET_SLOT_OPTION_I = 2,     /* option I */
  QUILLET_SLOT_OPTION_E = 3,     /* option E */
  QUILLET_SLOT_DRIVE = 4,        /* option D, the source drive */
  QUILLET_SLOT_UNITCODE = 5,     /* the workunit's code; "" for a merge call */
  QUILLET_SLOT_TREEPATH = 6,     /* the workunit's tree path ("\...\"); the volume folder for a merge */
  QUILLET_SLOT_VIEWTECH = 7,     /* "" for a merge call */
  QUILLET_SLOT_MARKET = 8,       /* "" for a merge call */
  QUILLET_SLOT_LANGUAGE = 9,     /* "" for a merge call */
  QUILLET_SLOT_PRODUCT_LANG = 10,/* the language of the product being installed */
  QUILLET_SLOT_CANCEL = 11,      /* an int32_t*: becomes 1 when the user cancels the installation */
  QUILLET_SLOT_DEBUG = 12,       /* the value 0 or 1 (not a pointer): the installer's DEBUG mode */
  QUILLET_SLOT_COUNT = 13
};

/* The installer's dialog as an install library sees it. */
typedef struct QuilletWindow QuilletWindow;
struct QuilletWindow {
  uint32_t size; /* sizeof(QuilletWindow) */
  /* QUILLET_MSG_STATUS sets the status line; every message returns 0. */
  intptr_t (*SendMessage)(QuilletWindow* window, uint32_t msg, uintptr_t wParam, intptr_t lParam);
  /* Serves the dialog's waiting events (its Cancel button among them), as a library running
   * for long should from time to time. */
  void (*ProcessMessages)(QuilletWindow* window);
};

/* The entry point: the window, the workunit's INSTCODE (0 for a merge call) and the install
 * block of QUILLET_SLOT_COUNT slots, valid during the call only. 0 is success, anything else
 * failure. */
typedef int16_t (*QuilletInstallFn)(QuilletWindow* window, int32_t code, uintptr_t* block);

#ifdef __cplusplus
}
#endif

#endif /* QUILLET_INSTALL_H */
