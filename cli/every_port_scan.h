#pragma once

struct ScanRequest;
class CliSession;

// "scan --every-port": every port the program knows searched at the same time, one
// thread per port, each with its own port and exchange and the window's scan kept to
// that port. Lists every module found; stores the place only when exactly one answered.
int RunEveryPortScan(CliSession &session, const ScanRequest &request);
