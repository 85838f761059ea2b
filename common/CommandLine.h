#pragma once

#include "common/Settings.h"

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

namespace fd::cli {

// What the unattended programs (fleetdesk-remind, fleetdesk-backup) share: a line of their report
// on standard output, flushed at once for the scheduler's log, and their --config option.
void say(const QString& text);
QCommandLineOption configOption();
// The settings from --config, else the file the desktop program would read. False, said, when the
// file is missing or cannot be read.
bool loadSettings(const QCommandLineParser& parser, const QCommandLineOption& config, Settings& settings);

} // namespace fd::cli
