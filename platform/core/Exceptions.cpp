// The silent abort helper; the classes themselves are header-only.
#include "Exceptions.h"

void Abort() { throw EAbort(); }
