#include "command.h"

#include <string>

namespace larkspur::cli {

void Command::checkArgumentCount(std::size_t count) const {
    if (count < m_shape.minimumArguments || count > m_shape.maximumArguments) {
        throw UsageError("wrong number of arguments for " + std::string(m_shape.name));
    }
}

int exitStatus(SessionStatus status) {
    switch (status) {
    case SessionStatus::Done:
        return kDone;
    case SessionStatus::NoBoard:
        return kNoBoard;
    case SessionStatus::LinkFailure:
        return kLinkFailure;
    case SessionStatus::FileError:
        return kFileError;
    }
    return kLinkFailure;
}

int openLink(const CliOptions& options, BoardSession& session) {
    return exitStatus(session.open(options.port.port()));
}

int setupImage(const CliOptions& options, BoardSession& session, const std::string* file,
               std::optional<RegisterImage>& image) {
    if (file != nullptr) {
        image = session.image(*file);
        return image ? kDone : kFileError;
    }
    if (const int status = openLink(options, session); status != kDone) {
        return status;
    }
    image = session.boardImage();
    return image ? kDone : exitStatus(session.linkStatus());
}

} // namespace larkspur::cli
