#pragma once

// A full disk or a short write, on demand, for the tests of the error paths that guard
// data and liveness. Linked into a test, it stands in front of libc's write(): once
// armed, it lets `passing` writes to a file whose path holds `pathPart` through, then
// fails the next one with `error` (ENOSPC for a full disk), or, with error 0, writes
// only half of it. Then it is disarmed. Other writes pass untouched. A file made with
// O_TMPFILE (QSaveFile's new file) is named by its folder, "/folder/#123 (deleted)".
extern "C" {
void tx4040_fail_write(const char *pathPart, int passing, int error);
void tx4040_write_faults_off();
// How many writes it failed or cut short since it was last armed.
int tx4040_write_faults_done();
}
