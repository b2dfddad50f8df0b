#pragma once

#include "work.h"
#include "workflow_context.h"

#include <QByteArrayList>

#include <functional>

// The exchange every setting workflow makes at the place the scan found: the port
// opened at ScanCommNo with ScanBaudRate, then up to two tries, each "B00B" (a reply
// of the identity's length) and then the workflow's commands, each after a 100 ms
// pause. A failure anywhere starts the next try from "B00B" again.
//
// commands: built from the serial number of that try's own "B00B" reply.
// onSuccess: runs once the last command has succeeded, before the port is closed.
// Why it failed goes to the work's reasons.
bool ExchangeAfterIdentity(
    WorkflowContext &context, Work &work,
    const std::function<QByteArrayList(const QByteArray &serialNo)> &commands,
    const std::function<void()> &onSuccess = {});
