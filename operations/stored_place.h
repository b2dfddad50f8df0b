#pragma once

#include "shared_state.h"

// The remembered setting as an index of the baud-rate list: the list shows it, and a
// locked search tries it on every port. The stored index where it is one of the
// list's; a stored index outside the list never picks an entry, and then the stored
// mode string decides if it is one of the list's, else the default.
int ListIndexOfRememberedSetting(const SharedState &state);
