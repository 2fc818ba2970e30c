#pragma once
// Messages with their severity for the journal. A service's standard error (and usually its
// standard output) is a stream into the journal, which systemd names in JOURNAL_STREAM
// ("DEVICE:INODE"); a line there that starts with "<N>" is filed at the syslog level N, so
// `journalctl -p warning` finds a lost stream and not every alarm-log row. Anywhere else
// (a terminal, a pipe, a file) lines are written as they are.

#include <QByteArray>

namespace cli {

// The sd-daemon levels of rrdcli's messages.
enum class Severity { Error = 3, Warning = 4, Notice = 5, Info = 6, Debug = 7 };

// True when the file descriptor is the stream JOURNAL_STREAM names.
bool isJournalStream(int fd);
// "<N>" for a line about to be written to `fd` when that is the journal, else nothing.
QByteArray journalPrefix(int fd, Severity severity);
// Qt's own messages (qWarning() ...) with their severity, when standard error is the
// journal; elsewhere Qt's output stays as it is.
void installJournalMessageHandler();

} // namespace cli
