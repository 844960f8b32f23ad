#include "FileProblem.h"

#include <cerrno>

namespace korvel {

QString fileProblemReason(FileProblem problem, int error, qint64 limit)
{
    switch (problem) {
    case FileProblem::None:
        return {};
    case FileProblem::Directory:
        return QStringLiteral("it is a directory");
    case FileProblem::NotRegularFile:
        return error == ELOOP ? QStringLiteral("it is a symbolic link")
                              : QStringLiteral("it is not a regular file");
    case FileProblem::TooLarge:
        return QStringLiteral("it is larger than %1 bytes").arg(limit);
    case FileProblem::Missing:
    case FileProblem::NotReadable:
    case FileProblem::ReadFailed:
        break;
    }
    return qt_error_string(error);
}

} // namespace korvel
