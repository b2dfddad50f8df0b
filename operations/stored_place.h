#pragma once

#include "shared_state.h"

// The remembered setting as an index of the baud-rate list. A stored index outside
// the list never picks an entry: the list then shows the remembered mode string if it
// is one of the list's, else the default.
int ListIndexOfRememberedSetting(const SharedState &state);

// The one setting a locked search tries on each port: the remembered index, or the
// default where that index is outside the list.
int LockedSearchIndex(const SharedState &state);
