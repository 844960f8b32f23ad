#pragma once

#include <QString>

namespace korvel {

// Why a file could not be read: the one list that the settings file, the
// images, the forms and the autostart entry all answer in.
enum class FileProblem {
    None,
    Missing,
    NotReadable,
    Directory,
    NotRegularFile, // a FIFO, a device, a socket, or a link where links are refused
    TooLarge,
    ReadFailed,
};

// The reason for a log line or a start-up error, e.g. "it is a directory":
// `error` is the errno value the system gave (ELOOP names a symbolic link),
// `limit` the largest size allowed.
QString fileProblemReason(FileProblem problem, int error, qint64 limit);

} // namespace korvel
