#pragma once

#include <QStringList>

// Runs SQL text through the command-line client against the sandbox, one client per script, side by side:
// creating a table waits for the disk, so ten thousand of them go faster in parallel.
void runClients(const QStringList &scripts);
